// The 32-byte training record: its exact bytes, round trips, refusals and the colour flip.
#include <gtest/gtest.h>

#include <cstring>

#include "board/board.h"
#include "board/fen.h"
#include "common/synthetic_positions.h"
#include "common/training_record.h"

namespace {

bool SamePosition(const TrainingPosition& a, const TrainingPosition& b) {
  return std::memcmp(a.squares, b.squares, 64) == 0 && a.sideToMove == b.sideToMove &&
         a.epSquare == b.epSquare && std::memcmp(a.castleRights, b.castleRights, 4) == 0 &&
         a.halfMoveClock == b.halfMoveClock && a.fullMove == b.fullMove && a.score == b.score &&
         a.result == b.result && a.spare == b.spare;
}

TrainingPosition FromFen(const char* fen) {
  Board board;
  EXPECT_TRUE(SetFen(&board, fen)) << fen;
  return TrainingPositionFromBoard(&board);
}

}  // namespace

// The layout is what the data files hold; a change here breaks every file already written.
TEST(TrainingRecord, BytesOfAKnownPosition) {
  TrainingPosition p = FromFen("4k3/8/8/8/8/8/8/4K2R w K - 3 300");
  p.score = -123;
  p.result = Draw;
  p.spare = 0xab;
  TrainingRecord record;
  ASSERT_TRUE(EncodeTrainingRecord(p, &record));
  const u8 expected[32] = {
      0, 0, 0, 0, 0x81, 0, 0, 0x01,  // occupancy: e1 = 32, e8 = 39, h1 = 56
      0xba, 0x0c, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,  // K, k, castling rook
      0x40, 3, 0x2c, 0x01,  // white to move, no en passant (64), clock 3, move 300
      0x85, 0xff, 1, 0xab};  // score -123, draw, spare
  EXPECT_EQ(std::memcmp(record.bytes, expected, 32), 0);
}

TEST(TrainingRecord, RoundTripsThroughBytesAndFen) {
  const char* fens[] = {
      StartFen,
      "r3k2r/8/8/8/8/8/8/R3K2R b Qk - 12 40",
      "r3k2r/8/8/8/8/8/8/R3K2R w - - 0 1",
      "rnbqkbnr/ppp1p1pp/8/3pPp2/8/8/PPPP1PPP/RNBQKBNR w KQkq f6 0 3",
      "rnbqkbnr/pppp1ppp/8/8/3Pp3/8/PPP1PPPP/RNBQKBNR b KQkq d3 0 2",
      "QQQ1k3/8/8/8/8/8/8/4K3 b - - 99 65535",  // promoted pieces, the largest move number
  };
  for (const char* fen : fens) {
    Board board;
    ASSERT_TRUE(SetFen(&board, fen)) << fen;
    TrainingPosition p = TrainingPositionFromBoard(&board);
    p.score = -32768;
    p.result = WhiteWin;
    p.spare = 7;
    TrainingRecord record;
    ASSERT_TRUE(EncodeTrainingRecord(p, &record)) << fen;
    TrainingPosition back;
    ASSERT_TRUE(DecodeTrainingRecord(record, &back)) << fen;
    EXPECT_TRUE(SamePosition(p, back)) << fen;
    EXPECT_EQ(TrainingPositionFen(back), GetFen(&board)) << fen;
    Board again;
    ASSERT_TRUE(TrainingPositionToBoard(back, &again));
    EXPECT_EQ(GetFen(&again), GetFen(&board));
  }
  ToolRng rng(5);
  for (int i = 0; i < 2000; ++i) {
    TrainingPosition p = RandomTrainingPosition(&rng);
    TrainingRecord record;
    TrainingPosition back;
    ASSERT_TRUE(EncodeTrainingRecord(p, &record));
    ASSERT_TRUE(DecodeTrainingRecord(record, &back));
    ASSERT_TRUE(SamePosition(p, back)) << TrainingPositionFen(p);
  }
}

TEST(TrainingRecord, HalfMoveClockSaturates) {
  TrainingPosition p = FromFen("4k3/8/8/8/8/8/8/4K3 w - - 0 1");
  p.halfMoveClock = 400;
  TrainingRecord record;
  TrainingPosition back;
  ASSERT_TRUE(EncodeTrainingRecord(p, &record));
  ASSERT_TRUE(DecodeTrainingRecord(record, &back));
  EXPECT_EQ(back.halfMoveClock, 255);
}

TEST(TrainingRecord, EncoderRefusesWhatItCannotStore) {
  const TrainingPosition base = FromFen("r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1");
  struct Case {
    const char* name;
    void (*spoil)(TrainingPosition*);
  };
  const Case cases[] = {
      {"33 pieces", [](TrainingPosition* p) { std::memset(p->squares, WhitePawn, 33); }},
      {"castling right without its rook", [](TrainingPosition* p) { p->squares[0] = Empty; }},
      {"castling right with the king away", [](TrainingPosition* p) {
         p->squares[32] = Empty;
         p->squares[24] = WhiteKing;
       }},
      {"result 3", [](TrainingPosition* p) { p->result = 3; }},
      {"en-passant square 65", [](TrainingPosition* p) { p->epSquare = 65; }},
      {"piece code 13", [](TrainingPosition* p) { p->squares[20] = 13; }},
  };
  for (const Case& c : cases) {
    TrainingPosition p = base;
    c.spoil(&p);
    TrainingRecord record;
    EXPECT_FALSE(EncodeTrainingRecord(p, &record)) << c.name;
  }
}

TEST(TrainingRecord, DecoderRefusesBytesNoEncoderWrites) {
  TrainingRecord good;
  ASSERT_TRUE(EncodeTrainingRecord(FromFen("r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1"), &good));
  struct Case {
    const char* name;
    void (*spoil)(TrainingRecord*);
  };
  // Nibbles in square order: a1 white castling rook, a8 black one, e1 K, e8 k, h1, h8.
  const Case cases[] = {
      {"piece code 14", [](TrainingRecord* r) { r->bytes[8] = 0xe0; }},
      {"white castling rook on a8", [](TrainingRecord* r) { r->bytes[8] = 0xc0; }},
      {"result 3", [](TrainingRecord* r) { r->bytes[30] = 3; }},
      {"en-passant square 100", [](TrainingRecord* r) { r->bytes[24] = 100; }},
      {"occupancy of 40 squares", [](TrainingRecord* r) { std::memset(r->bytes, 0xff, 5); }},
  };
  for (const Case& c : cases) {
    TrainingRecord bad = good;
    c.spoil(&bad);
    TrainingPosition p;
    EXPECT_FALSE(DecodeTrainingRecord(bad, &p)) << c.name;
  }
  // The castling rook's right needs its king at home: move the king's bit from e1 to d1.
  TrainingRecord noKing = good;
  noKing.bytes[4] &= 0xfe;
  noKing.bytes[3] |= 0x01;  // d1 = 24
  TrainingPosition p;
  EXPECT_FALSE(DecodeTrainingRecord(noKing, &p));
}

TEST(TrainingRecord, ColourFlipExchangesEverySide) {
  TrainingPosition p = FromFen("r3k2r/pp6/8/3pP3/8/8/8/R3K3 w Qk d6 4 20");
  p.score = 250;
  p.result = WhiteWin;
  const TrainingPosition flipped = ColourFlipped(p);
  EXPECT_EQ(TrainingPositionFen(flipped), "r3k3/8/8/8/3Pp3/8/PP6/R3K2R b Kq d3 4 20");
  EXPECT_EQ(flipped.score, -250);
  EXPECT_EQ(flipped.result, BlackWin);
  EXPECT_TRUE(SamePosition(ColourFlipped(flipped), p));
}
