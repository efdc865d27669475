#include <gtest/gtest.h>

#include <cstring>

#include "eval/nnue.h"
#include "network_fixture.h"
#include "position_helpers.h"

static bool SameAccumulator(const Accumulator& a, const Accumulator& b) {
  return std::memcmp(a.half, b.half, sizeof a.half) == 0;
}

class AccumulatorUpdate : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(InstallNetwork(*RandomFileWeights(11, 3000))); }
};

// Moves that touch more than two squares or change the piece: both the copy into a fresh
// child and the update of an accumulator in place must equal a refresh of the new board.
TEST_F(AccumulatorUpdate, SpecialMovesEqualRefresh) {
  struct Case {
    const char* fen;
    const char* move;
  };
  const Case cases[] = {
      {"r3k2r/pppppppp/8/8/8/8/PPPPPPPP/R3K2R w KQkq - 0 1", "e1g1"},
      {"r3k2r/pppppppp/8/8/8/8/PPPPPPPP/R3K2R w KQkq - 0 1", "e1c1"},
      {"r3k2r/pppppppp/8/8/8/8/PPPPPPPP/R3K2R b KQkq - 0 1", "e8g8"},
      {"r3k2r/pppppppp/8/8/8/8/PPPPPPPP/R3K2R b KQkq - 0 1", "e8c8"},
      {"rnbqkbnr/ppp1p1pp/8/3pPp2/8/8/PPPP1PPP/RNBQKBNR w KQkq d6 0 3", "e5d6"},
      {"rnbqkbnr/ppp1pppp/8/8/3pP3/5N2/PPPP1PPP/RNBQKB1R b KQkq e3 0 3", "d4e3"},
      {"1r2k3/P7/8/8/8/8/8/4K3 w - - 0 1", "a7a8q"},
      {"1r2k3/P7/8/8/8/8/8/4K3 w - - 0 1", "a7b8n"},
      {"4k3/8/8/8/8/8/6p1/4K2R b - - 0 1", "g2g1r"},
      {"4k3/8/8/8/8/8/6p1/4K2R b - - 0 1", "g2h1b"},
      {"4k3/8/8/8/8/8/8/R3K2R w KQ - 0 1", "a1a8"},  // a rook capture-free slide, the same piece
      {"4k3/8/8/8/8/8/8/R3K2R w KQ - 0 1", "e1f1"},  // a king step that is no castling
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.fen << " " << c.move);
    Board board;
    ASSERT_TRUE(SetFen(&board, c.fen));
    const u32 move = Mv(c.move);
    ASSERT_TRUE(IsLegalMove(&board, move));
    Accumulator parent, child, inPlace, refreshed;
    RefreshAccumulator(&board, &parent);
    const MoveFacts f = FactsOf(board, move);
    MakeMove(&board, f.movingPiece, move);
    RefreshAccumulator(&board, &refreshed);
    AccumulatorApplyMove(&parent, &child, move, f.movingPiece, f.capturedPiece, f.captureSquare);
    inPlace = parent;
    AccumulatorApplyMove(&inPlace, &inPlace, move, f.movingPiece, f.capturedPiece, f.captureSquare);
    EXPECT_TRUE(SameAccumulator(child, refreshed));
    EXPECT_TRUE(SameAccumulator(inPlace, refreshed));
  }
}

// Random games, the accumulator carried along move by move, compared with a refresh after
// every move; the games must include castling, en passant and promotions to count.
TEST_F(AccumulatorUpdate, RandomGamesMatchRefresh) {
  const char* starts[] = {
      StartFen,
      "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
      "n1n5/PPPk4/8/8/8/8/4Kppp/5N1N b - - 0 1",
      "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1",
      "r3k2r/Pppp1ppp/1b3nbN/nP6/BBP1P3/q4N2/Pp1P2PP/R2Q1RK1 w kq - 0 1",
  };
  std::mt19937 rng(2024);
  int castles = 0, enPassants = 0, promotions = 0, moves = 0;
  for (int game = 0; game < 600; ++game) {
    Board board;
    ASSERT_TRUE(SetFen(&board, starts[game % 5]));
    Accumulator acc[2];
    RefreshAccumulator(&board, &acc[0]);
    for (int ply = 0; ply < 160; ++ply) {
      const u32 move = RandomLegalMove(&board, &rng);
      if (move == EmptyMove) break;
      const MoveFacts f = FactsOf(board, move);
      const bool kingLeap = TypeOf(f.movingPiece) == 5 &&
                            (FileOf(MoveFrom(move)) + 2 == FileOf(MoveTo(move)) ||
                             FileOf(MoveTo(move)) + 2 == FileOf(MoveFrom(move)));
      castles += kingLeap;
      enPassants += f.captureSquare != MoveTo(move);
      promotions += MovePromotion(move) != NoPromotion;
      ++moves;
      const Accumulator& parent = acc[ply & 1];
      Accumulator& child = acc[(ply + 1) & 1];
      AccumulatorApplyMove(&parent, &child, move, f.movingPiece, f.capturedPiece, f.captureSquare);
      MakeMove(&board, f.movingPiece, move);
      Accumulator refreshed;
      RefreshAccumulator(&board, &refreshed);
      ASSERT_TRUE(SameAccumulator(child, refreshed))
          << "game " << game << " ply " << ply << " move " << MoveToText(move) << " in "
          << GetFen(&board);
    }
  }
  EXPECT_GT(moves, 10000);
  EXPECT_GT(castles, 20);
  EXPECT_GT(enPassants, 10);
  EXPECT_GT(promotions, 20);
}
