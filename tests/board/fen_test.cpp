// FEN reading and writing: round trips, the game-ply rules, refused and normalised positions.
#include <gtest/gtest.h>

#include <cstring>

#include "board/attack_map.h"
#include "board/zobrist.h"
#include "board_testing.h"

TEST(Fen, RoundTrips) {
  const char* fens[] = {
      StartFen,
      "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
      "rnbqkbnr/pppp1ppp/8/8/3Pp3/8/PPP1PPPP/RNBQKBNR b KQkq d3 0 3",
      "8/8/8/8/8/8/8/K6k b - - 57 130",
      "r3k3/8/8/8/8/8/8/4K2R w Kq - 3 20",
  };
  for (const char* fen : fens) {
    LoadedBoard board(fen);
    EXPECT_EQ(GetFen(board.get()), fen);
  }
}

TEST(Fen, GamePlyRules) {
  struct Case {
    const char* fen;
    u32 gamePly;
    const char* written;  // the FEN written back, when it differs
  };
  const Case cases[] = {
      {StartFen, 0, nullptr},
      {"8/8/8/8/8/8/8/K6k w - - 0 1", 28, "8/8/8/8/8/8/8/K6k w - - 0 15"},  // not all 32 men
      {"8/8/8/8/8/8/8/K6k b - - 0 1", 29, "8/8/8/8/8/8/8/K6k b - - 0 15"},
      {"8/8/8/8/8/8/8/K6k w - - 0 2", 2, nullptr},
      {"8/8/8/8/8/8/8/K6k b - - 0 2", 3, nullptr},
      // No move numbers: the ply wraps below zero and is written as move 1.
      {"8/8/8/8/8/8/8/K6k w - -", 0xfffffffeu, "8/8/8/8/8/8/8/K6k w - - 0 1"},
      {"8/8/8/8/8/8/8/K6k b - - bm Kb2;", 0xffffffffu, "8/8/8/8/8/8/8/K6k b - - 0 1"},
      // Only the exact "b" selects Black.
      {"8/8/8/8/8/8/8/K6k B - - 0 2", 2, "8/8/8/8/8/8/8/K6k w - - 0 2"},
      {"8/8/8/8/8/8/8/K6k black - - 0 2", 2, "8/8/8/8/8/8/8/K6k w - - 0 2"},
  };
  for (const Case& c : cases) {
    LoadedBoard board(c.fen);
    EXPECT_EQ(board->gamePly, c.gamePly) << c.fen;
    EXPECT_EQ(board->halfMoveClock, 0) << c.fen;
    EXPECT_EQ(GetFen(board.get()), c.written ? c.written : c.fen) << c.fen;
  }
}

TEST(Fen, ExtractFenFields) {
  EXPECT_EQ(ExtractFenFields("  8/8/8/8/8/8/8/K6k\tw - -;bm Kb2; id \"x\";\r\n"),
            "8/8/8/8/8/8/8/K6k w - - bm Kb2");
  EXPECT_EQ(ExtractFenFields("a b c d e f g h"), "a b c d e f");
  EXPECT_EQ(ExtractFenFields(" ;\t\r\n"), "");
  EXPECT_EQ(ExtractFenFields(""), "");
}

TEST(Fen, RefusedPositionsLeaveTheBoardAsItWas) {
  const char* refused[] = {
      "",
      "8/8/8/8/8/8/8/K6k w -",                                           // three fields
      "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNX w KQkq - 0 1",         // bad letter
      "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBN w KQkq - 0 1",          // seven files
      "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNRR w KQkq - 0 1",        // nine files
      "rnbqkbnr/pppppppp/9/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1",         // a rank of nine
      "rnbqkbnr/pppppppp/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1",           // seven ranks
      "rnbqkbnr/pppppppp/8/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1",       // nine ranks
      "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR/ w KQkq - 0 1",        // trailing '/'
      "8/8/8/8/8/8/8/7k w - - 0 1",                                      // no white king
      "8/8/8/8/8/8/8/KK5k w - - 0 1",                                    // two white kings
      "P7/8/8/8/8/8/8/K6k w - - 0 1",                                    // pawn on rank 8
      "8/8/8/8/8/8/8/K5pk w - - 0 1",                                    // pawn on rank 1
      "QQQQQQQQ/Q7/8/8/8/8/P7/K6k b - - 0 1",                            // nine queens and a pawn
      "NNNNNNNN/NNN5/8/8/8/8/8/K6k w - - 0 1",                           // eleven knights
      "k7/8/8/8/8/8/PPPPPPPP/KQQ5 w - - 0 1",                            // two queens and eight pawns
      "4k3/4R3/8/8/8/8/8/4K3 w - - 0 1",                                 // Black in check, White to move
      "8/8/8/8/8/8/8/Kk6 w - - 0 1",                                     // kings side by side
  };
  LoadedBoard board(StartFen);
  Board before = board.board;
  for (const char* fen : refused) {
    EXPECT_FALSE(SetFen(board.get(), fen)) << fen;
    EXPECT_EQ(std::memcmp(&before.squares, &board->squares, sizeof(before.squares)), 0) << fen;
    EXPECT_EQ(board->key, before.key) << fen;
    EXPECT_EQ(std::memcmp(&before.attacks.words, &board->attacks.words, sizeof(before.attacks.words)), 0) << fen;
  }
}

TEST(Fen, AcceptedUnusualPositions) {
  // Promotions of all eight pawns explain nine queens or ten knights.
  LoadedBoard queens("QQQQQQQQ/Q7/8/8/8/8/8/K6k b - - 0 1");
  EXPECT_EQ(queens->pieceLists[WhiteQueen].count, 9);
  LoadedBoard knights("NNNNNNNN/NN6/8/8/8/8/8/K6k w - - 0 1");
  EXPECT_EQ(knights->pieceLists[WhiteKnight].count, 10);
  // Six knights on one colour are all counted in the rebuilt map.
  LoadedBoard six("4k3/8/8/2N1N3/1N3N2/8/1N3N2/4K3 w - - 0 1");
  EXPECT_EQ(six->attacks.words[Sq("d3")][White] >> KnightCountShift, 6u);
  EXPECT_EQ(six->attacks.words[Sq("d4")][White] >> KnightCountShift, 0u);
  // An absurd half-move clock is clamped, digits stop at the first other character.
  LoadedBoard clock("8/8/8/8/8/8/8/K6k w - - 99999999999 1");
  EXPECT_EQ(clock->halfMoveClock, 9999);
  LoadedBoard partial("8/8/8/8/8/8/8/K6k w - - 12x 7");
  EXPECT_EQ(partial->halfMoveClock, 12);
  EXPECT_EQ(partial->gamePly, 12u);
}

TEST(Fen, ImpossibleRightsAndEnPassantSquaresAreDropped) {
  struct Case {
    const char* fen;
    const char* written;
  };
  const Case cases[] = {
      // Rooks or kings away from home: their rights go.
      {"4k3/8/8/8/8/8/8/1R2K2R w KQkq - 0 2", "4k3/8/8/8/8/8/8/1R2K2R w K - 0 2"},
      {"r3k2r/8/8/8/8/8/8/R4K1R w KQkq - 0 2", "r3k2r/8/8/8/8/8/8/R4K1R w kq - 0 2"},
      {"r3k2r/8/8/8/8/8/8/R3K2R w KQkqXY - 0 2", "r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 2"},
      // En passant only behind a pawn that just stepped twice.
      {"4k3/8/8/3pP3/8/8/8/4K3 w - d6 0 2", "4k3/8/8/3pP3/8/8/8/4K3 w - d6 0 2"},
      {"4k3/8/8/4P3/8/8/8/4K3 w - d6 0 2", "4k3/8/8/4P3/8/8/8/4K3 w - - 0 2"},   // no pawn on d5
      {"4k3/3p4/8/3pP3/8/8/8/4K3 w - d6 0 2", "4k3/3p4/8/3pP3/8/8/8/4K3 w - - 0 2"},  // d7 occupied
      {"4k3/8/8/3pP3/8/8/8/4K3 b - d6 0 2", "4k3/8/8/3pP3/8/8/8/4K3 b - - 0 2"},  // wrong side
      {"4k3/8/8/3pP3/8/8/8/4K3 w - d3 0 2", "4k3/8/8/3pP3/8/8/8/4K3 w - - 0 2"},
      {"4k3/8/8/3pP3/8/8/8/4K3 w - z9 0 2", "4k3/8/8/3pP3/8/8/8/4K3 w - - 0 2"},  // not a square
      {"4k3/8/8/8/4pP2/8/8/4K3 b - f3 0 2", "4k3/8/8/8/4pP2/8/8/4K3 b - f3 0 2"},
  };
  for (const Case& c : cases) {
    LoadedBoard board(c.fen);
    EXPECT_EQ(GetFen(board.get()), c.written) << c.fen;
    EXPECT_EQ(board->key, ComputeKey(board.get())) << c.fen;
  }
}
