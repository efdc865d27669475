// Move text: coordinate notation both ways and SAN parsing.
#include <gtest/gtest.h>

#include "board_testing.h"

TEST(Notation, MoveToText) {
  EXPECT_EQ(MoveToText(Mv("e2e4")), "e2e4");
  EXPECT_EQ(MoveToText(MakeMoveWord(Sq("e7"), Sq("e8"), WhiteQueen)), "e7e8q");
  EXPECT_EQ(MoveToText(MakeMoveWord(Sq("b2"), Sq("a1"), WhiteKnight)), "b2a1n");
  EXPECT_EQ(MoveToText(NoMove), "a8a8");
  EXPECT_EQ(MoveToText(0xc8e1), "e2e4");
  // Corrupt promotion fields give no letter rather than reading past the letter table.
  for (u32 field = 13; field <= 15; ++field)
    EXPECT_EQ(MoveToText(MakeMoveWord(Sq("e7"), Sq("e8"), field)), "e7e8") << field;
}

TEST(Notation, CoordinateMoves) {
  struct Case {
    const char* text;
    bool valid;
    u32 move;
  };
  const Case cases[] = {
      {"e2e4", true, MakeMoveWord(Sq("e2"), Sq("e4"))},
      {"h2h1r", true, MakeMoveWord(Sq("h2"), Sq("h1"), WhiteRook)},
      {"a7a8n", true, MakeMoveWord(Sq("a7"), Sq("a8"), WhiteKnight)},
      {"e7e8Q", false, 0},
      {"e7e8k", false, 0},
      {"a1a9", false, 0},
      {"i1a2", false, 0},
      {"e2e", false, 0},
      {"e2e4qq", false, 0},
      {"", false, 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(IsCoordinateMove(c.text), c.valid) << c.text;
    u32 move = 0xabcd0000u | 0x1234;
    EXPECT_EQ(ParseCoordinateMove(&move, c.text), c.valid) << c.text;
    // Only the low 16 bits are written; failure writes nothing.
    EXPECT_EQ(move, c.valid ? (0xabcd0000u | c.move) : (0xabcd0000u | 0x1234)) << c.text;
  }
}

TEST(Notation, RemoveAll) {
  std::string text = "a+b++c+";
  RemoveAll("+", text);
  EXPECT_EQ(text, "abc");
  text = "xyxyz";
  RemoveAll("xy", text);
  EXPECT_EQ(text, "z");
  RemoveAll("", text);
  EXPECT_EQ(text, "z");
}

TEST(Notation, San) {
  struct Case {
    const char* fen;
    const char* san;
    const char* move;  // nullptr: rejected
  };
  const char* knights = "7k/8/1N3N2/8/8/8/8/4K3 w - - 0 1";  // both reach d7
  const Case cases[] = {
      {StartFen, "Nf3+!", "g1f3"},
      {StartFen, "e4", "e2e4"},
      {StartFen, "e3", "e2e3"},
      {StartFen, "Nc3", "b1c3"},
      {StartFen, "Nd2", nullptr},       // no knight reaches it
      {StartFen, "Ke2", nullptr},
      {StartFen, "Zf3", nullptr},
      {StartFen, "N", nullptr},
      {StartFen, "Nz9", nullptr},
      {StartFen, "Ng1z9", nullptr},     // the target must be a square even without a legality test
      {StartFen, "Ng1f3", "g1f3"},
      {StartFen, "Nb1f3", "b1f3"},      // fully disambiguated text is taken without a legality test
      {StartFen, "e", nullptr},
      {StartFen, "", nullptr},
      {StartFen, "ex", nullptr},
      {StartFen, "exd", nullptr},
      {StartFen, "e9", nullptr},
      {StartFen, "O-O", "e1g1"},        // castling is not tested for legality
      {StartFen, "O-O-O", "e1c1"},
      {StartFen, "0-0", nullptr},
      {"rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3 0 1", "O-O", "e8g8"},
      {"rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3 0 1", "O-O-O", "e8c8"},
      {knights, "Nbd7", "b6d7"},
      {knights, "Nfd7", "f6d7"},
      {knights, "Nd7", "f6d7"},          // the last list entry is generated first
      {knights, "Nxd7", "f6d7"},
      {knights, "N6d7", "f6d7"},
      {knights, "Nb6xd7", "b6d7"},
      {"4k3/8/8/3p4/4P3/8/8/4K3 w - - 0 1", "exd5", "e4d5"},
      {"4k3/8/8/3p4/4P3/8/8/4K3 w - - 0 1", "d5", "e4d5"},  // a push text finds the capture
      {"4k3/8/8/3p4/4P3/8/8/4K3 w - - 0 1", "fxd5", nullptr},
      {"3nk3/4P3/8/8/8/8/8/4K3 w - - 0 1", "exd8=Q", "e7d8q"},
      {"3nk3/4P3/8/8/8/8/8/4K3 w - - 0 1", "exd8=N", "e7d8n"},
      {"3nk3/4P3/8/8/8/8/8/4K3 w - - 0 1", "exd8Q", nullptr},
      {"3nk3/4P3/8/8/8/8/8/4K3 w - - 0 1", "exd8=", nullptr},
      {"3nk3/4P3/8/8/8/8/8/4K3 w - - 0 1", "exd8=K", nullptr},
      {"3nk3/4P3/8/8/8/8/8/4K3 w - - 0 1", "exd8", "e7d8"},   // promotion 12: not itself legal
      {"1n2k3/4P3/8/8/8/8/8/4K3 w - - 0 1", "e8=N", nullptr},  // e8 is occupied
      {"1n5k/4P3/8/8/8/8/8/4K3 w - - 0 1", "e8=N", "e7e8n"},
      {"1n5k/4P3/8/8/8/8/8/4K3 w - - 0 1", "e8=q", "e7e8q"},
      {"1n5k/4P3/8/8/8/8/8/4K3 w - - 0 1", "e8N", nullptr},
      {"1n5k/4P3/8/8/8/8/8/4K3 w - - 0 1", "e8", "e7e8"},
      {"4k3/8/8/8/8/8/3p4/4K3 w - - 0 1", "Kxd2", "e1d2"},
      {"4k3/8/8/8/8/8/3p4/7K b - - 0 1", "d1=Q+", "d2d1q"},
  };
  for (const Case& c : cases) {
    LoadedBoard board(c.fen);
    std::string text = c.san;
    u32 move = 0x55550000u;
    bool parsed = ParseSan(&move, text, board.get());
    EXPECT_EQ(parsed, c.move != nullptr) << c.fen << " " << c.san;
    if (parsed && c.move) {
      u32 expected = 0;
      ParseCoordinateMove(&expected, c.move);
      EXPECT_EQ(move, 0x55550000u | expected) << c.fen << " " << c.san;
    }
  }
}

TEST(Notation, SanStripsAnnotationsFromTheCallersText) {
  LoadedBoard board(StartFen);
  std::string text = "Nf3+!";
  u32 move = 0;
  ASSERT_TRUE(ParseSan(&move, text, board.get()));
  EXPECT_EQ(text, "Nf3");
  text = "e4#?!";
  ASSERT_TRUE(ParseSan(&move, text, board.get()));
  EXPECT_EQ(text, "e4");
}
