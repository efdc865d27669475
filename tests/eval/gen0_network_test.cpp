#include <gtest/gtest.h>

#include "eval/nnue.h"
#include "network_fixture.h"
#include "position_helpers.h"

class Gen0Network : public ::testing::Test {
 protected:
  void SetUp() override {
    const NetworkLoadResult result = ReadNetwork(ShippedNetworkPath().c_str(), &Network);
    ASSERT_EQ(result.status, 0) << result.message;
  }
};

// Material in the engine's piece values (pawn 100, knight 305, bishop 325, rook 500,
// queen 1000) plus piece-square terms of 5 cp per unit, from the side to move's view.
TEST_F(Gen0Network, ScoresTheIntendedBalance) {
  struct Case {
    const char* name;
    const char* fen;
    i32 raw;
  };
  const Case cases[] = {
      {"start", StartFen, 0},
      {"black queen missing", "rnb1kbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1", 1000},
      {"black queen missing, black to move",
       "rnb1kbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR b KQkq - 0 1", -1000},
      {"white knight missing", "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/R1BQKBNR w KQkq - 0 1", -305 + 5},
      {"each side short of a bishop and a rook",
       "rn1qkbn1/pppppppp/8/8/8/8/PPPPPPPP/RN1QKBN1 w Qq - 0 1", 0},
      // e4: rank 4 (1 unit) and a centre file (1 unit).
      {"1. e4", "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3 0 1", -10},
      // Nf3: from the rim (-1) to the second ring (+2).
      {"1. Nf3", "rnbqkbnr/pppppppp/8/8/8/5N2/PPPPPPPP/RNBQKB1R b KQkq - 1 1", -15},
      {"queen against king", "8/8/8/4k3/8/8/8/1Q2K3 w - - 0 1", 1000},
      {"rook on the seventh", "4k3/R7/8/8/8/8/8/4K3 b - - 0 1", -500 - 10},
      {"pawns on the seventh", "8/PPPPPPPP/8/8/8/8/8/k3K3 w - - 0 1", 800 + 8 * 25},
      {"nine queens, all minors and rooks", "k7/8/8/8/8/8/QQQQQQQQ/QRRBBNNK b - - 0 1",
       -(9000 + 1000 + 650 + 610 - 4 * 5)},
      // Ten knights on the rim (-1 each) against ten in the centre (22 units): the largest
      // piece-square difference a knight pair can see short of its bound of 40.
      {"ten knights on the rim against ten in the centre",
       "NNNNNNNN/8/2nnnn2/2nnnn2/2n5/2n5/8/NNk4K w - - 0 1", -(10 + 22) * 5},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Board board;
    ASSERT_TRUE(SetFen(&board, c.fen));
    Accumulator acc;
    RefreshAccumulator(&board, &acc);
    EXPECT_EQ(NnueRawOutput(&acc, SideToMove(&board)), c.raw);
    // Every hidden unit stays inside the clip range, so each term is exactly linear.
    for (int half = 0; half < 2; ++half) {
      for (int j = 0; j < NnueHidden; ++j) {
        ASSERT_GE(acc.half[half][j], 0) << "half " << half << " unit " << j;
        ASSERT_LE(acc.half[half][j], NnueQA) << "half " << half << " unit " << j;
      }
    }
  }
}

// Through random games the units never leave 0..181 and the score is never worse than the
// material balance by more than the piece-square terms can reach.
TEST_F(Gen0Network, UnitsStayInRangeInRandomGames) {
  std::mt19937 rng(5);
  for (int game = 0; game < 40; ++game) {
    Board board;
    ASSERT_TRUE(SetFen(&board, StartFen));
    for (int ply = 0; ply < 300; ++ply) {
      Accumulator acc;
      RefreshAccumulator(&board, &acc);
      for (int half = 0; half < 2; ++half) {
        for (int j = 0; j < NnueHidden; ++j) {
          ASSERT_GE(acc.half[half][j], 0) << GetFen(&board);
          ASSERT_LE(acc.half[half][j], NnueQA) << GetFen(&board);
        }
      }
      const u32 us = SideToMove(&board);
      const i32 material = board.material[us] - board.material[us ^ 1];
      const i32 raw = NnueRawOutput(&acc, us);
      ASSERT_LE(raw - material, 4 * 200) << GetFen(&board);
      ASSERT_GE(raw - material, -4 * 200) << GetFen(&board);
      const u32 move = RandomLegalMove(&board, &rng);
      if (move == EmptyMove) break;
      MakeMove(&board, board.squares[MoveFrom(move)], move);
    }
  }
}
