#include <gtest/gtest.h>

#include <cstring>

#include "eval/nnue.h"
#include "network_fixture.h"
#include "position_helpers.h"

// A network that scores every position `score` for the side to move: the king rows hold every
// unit at 181 in both halves, so the output is 181^2 * (sum of output weights) / (181^2 * 64).
static void InstallScoreNetwork(i32 score) {
  auto w = std::make_unique<NnueFileWeights>();
  std::memset(w.get(), 0, sizeof *w);
  for (int s = 0; s < 64; ++s) {
    for (int j = 0; j < NnueHidden; ++j) w->feature[FileFeatureRow(true, 5, s)][j] = NnueQA;
  }
  i64 remaining = static_cast<i64>(score) * NnueQB;
  for (int j = 0; j < 2 * NnueHidden && remaining != 0; ++j) {
    const i64 chunk = remaining > 32000 ? 32000 : (remaining < -32000 ? -32000 : remaining);
    w->output[j / NnueHidden][j % NnueHidden] = static_cast<i16>(chunk);
    remaining -= chunk;
  }
  ASSERT_EQ(remaining, 0);
  ASSERT_TRUE(InstallNetwork(*w));
}

static i32 EvaluateFen(const char* fen, NnueVerdict* verdict) {
  Board board;
  EXPECT_TRUE(SetFen(&board, fen)) << fen;
  Accumulator acc;
  RefreshAccumulator(&board, &acc);
  return NnueEvaluateBoard(&board, &acc, verdict);
}

// The recognisers by material, with a network that answers a fixed score.
TEST(NnueEvaluate, Recognisers) {
  struct Case {
    const char* name;
    const char* fen;
    i32 network;  // the network's own score
    i32 code;
    i32 param;    // checked with code 5
    i32 score;
    bool networkUsed;
  };
  const Case cases[] = {
      {"bare kings", "8/8/8/4k3/8/8/8/4K3 w - - 0 1", 500, 4, 0, 0, false},
      {"king and knight", "8/8/8/4k3/8/8/8/3NK3 w - - 0 1", 500, 4, 0, 0, false},
      {"king and bishop, black to move", "8/8/8/4k3/8/8/8/3BK3 b - - 0 1", -500, 4, 0, 0, false},
      {"two knights", "8/8/8/4k3/8/8/8/2NNK3 w - - 0 1", 700, 4, 0, 0, false},
      {"knight each", "8/8/3n4/4k3/8/8/8/3NK3 w - - 0 1", 700, 4, 0, 0, false},
      {"bishop each", "8/8/3b4/4k3/8/8/8/3BK3 w - - 0 1", 700, 4, 0, 0, false},
      {"rook against knight", "8/8/3n4/4k3/8/8/8/3RK3 w - - 0 1", 700, 6, 0, 0, false},
      {"rook against bishop", "8/8/3b4/4k3/8/8/8/3RK3 b - - 0 1", 700, 6, 0, 0, false},
      {"knight against rook", "8/8/3r4/4k3/8/8/8/3NK3 w - - 0 1", -700, 6, 0, 0, false},
      {"two bishops against king", "8/8/8/4k3/8/8/8/2BBK3 w - - 0 1", 700, 0, 0, 700, true},
      {"rook each", "8/8/3r4/4k3/8/8/8/3RK3 w - - 0 1", 33, 0, 0, 33, true},
      {"king and pawn", "8/8/8/4k3/8/8/4P3/4K3 w - - 0 1", 250, 0, 0, 250, true},
      {"lone knight to move, network positive", "8/8/8/4k3/4p3/8/8/3NK3 w - - 0 1", 300, 1, 0, 0, true},
      {"lone knight to move, network negative", "8/8/8/4k3/4p3/8/8/3NK3 w - - 0 1", -300, 1, 0, -300, true},
      {"opponent lone knight, network negative", "8/8/8/4k3/4p3/8/8/3NK3 b - - 0 1", -300, 2, 0, 0, true},
      {"opponent lone knight, network positive", "8/8/8/4k3/4p3/8/8/3NK3 b - - 0 1", 300, 2, 0, 300, true},
      {"knight against bishop: code 2 wins", "8/8/3b4/4k3/8/8/8/3NK3 w - - 0 1", -300, 2, 0, 0, true},
      {"opposite bishops, five pawns", "8/pp6/3b4/4k3/2B5/8/PPP5/4K3 w - - 0 1", 400, 5, 3, 150, true},
      {"opposite bishops, negative", "8/pp6/3b4/4k3/2B5/8/PPP5/4K3 w - - 0 1", -401, 5, 3, -151, true},
      {"opposite bishops, eight pawns", "8/pppp4/3b4/4k3/2B5/8/PPPP4/4K3 b - - 0 1", 400, 5, 4, 200, true},
      {"same-coloured bishops with pawns", "8/pp6/3b4/4k3/1B6/8/PPP5/4K3 w - - 0 1", 400, 0, 0, 400, true},
      {"opposite bishops, mover's bishop alone", "8/p7/3b4/4k3/2B5/8/8/4K3 w - - 0 1", 400, 1, 0, 0, true},
      {"queen against king", "8/8/8/4k3/8/8/8/3QK3 w - - 0 1", 900, 0, 0, 900, true},
      {"minus one becomes zero", StartFen, -1, 0, 0, 0, true},
      {"minus two stays", StartFen, -2, 0, 0, -2, true},
      {"clamped high", StartFen, 15000, 0, 0, 10000, true},
      {"clamped low", StartFen, -15000, 0, 0, -10000, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    InstallScoreNetwork(c.network);
    NnueVerdict verdict{-7, -7, false};
    EXPECT_EQ(EvaluateFen(c.fen, &verdict), c.score);
    EXPECT_EQ(verdict.code, c.code);
    if (c.code == 5) {
      EXPECT_EQ(verdict.param, c.param);
    }
    EXPECT_EQ(verdict.networkUsed, c.networkUsed);
  }
}

// The output is truncated toward zero; only the evaluation clamps it.
TEST(NnueEvaluate, OutputDivisionTruncatesTowardZero) {
  struct Case {
    i64 bias;
    i32 raw;
  };
  const Case cases[] = {
      {3 * NnueOutputDivisor - 1, 2},   {3 * NnueOutputDivisor, 3},
      {-3 * NnueOutputDivisor + 1, -2}, {-3 * NnueOutputDivisor - 1, -3},
      {NnueOutputDivisor - 1, 0},       {-(NnueOutputDivisor - 1), 0},
      {1000 * NnueOutputDivisor + 5, 1000},
  };
  Board board;
  ASSERT_TRUE(SetFen(&board, StartFen));
  InstallScoreNetwork(12000);
  Accumulator high;
  RefreshAccumulator(&board, &high);
  EXPECT_EQ(NnueRawOutput(&high, White), 12000);
  for (const Case& c : cases) {
    InstallBiasNetwork(c.bias);
    Accumulator acc;
    RefreshAccumulator(&board, &acc);
    EXPECT_EQ(NnueRawOutput(&acc, White), c.raw) << c.bias;
  }
}

// With any weights, a position and its colour-flipped twin evaluate alike; and no evaluation
// is ever -1.
TEST(NnueEvaluate, MirrorProperty) {
  const char* starts[] = {
      StartFen,
      "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
      "8/pp6/3b4/4k3/2B5/8/PPP5/4K3 w - - 0 1",
      "8/8/3b4/4k3/8/8/8/3NK3 b - - 0 1",
  };
  std::mt19937 rng(99);
  int checked = 0;
  for (u32 seed = 1; seed <= 4; ++seed) {
    ASSERT_TRUE(InstallNetwork(*RandomFileWeights(seed, 60 * static_cast<int>(seed))));
    for (int game = 0; game < 8; ++game) {
      Board board;
      ASSERT_TRUE(SetFen(&board, starts[game % 4]));
      for (int ply = 0; ply < 80; ++ply) {
        const std::string fen = GetFen(&board);
        const std::string twinFen = FlippedFen(fen);
        Board twin;
        ASSERT_TRUE(SetFen(&twin, twinFen.c_str())) << twinFen;
        Accumulator a, b;
        RefreshAccumulator(&board, &a);
        RefreshAccumulator(&twin, &b);
        NnueVerdict va, vb;
        const i32 score = NnueEvaluateBoard(&board, &a, &va);
        ASSERT_EQ(score, NnueEvaluateBoard(&twin, &b, &vb)) << fen << " / " << twinFen;
        ASSERT_EQ(va.code, vb.code) << fen;
        ASSERT_EQ(NnueRawOutput(&a, SideToMove(&board)), NnueRawOutput(&b, SideToMove(&twin)));
        ASSERT_NE(score, -1) << fen;
        ++checked;
        const u32 move = RandomLegalMove(&board, &rng);
        if (move == EmptyMove) break;
        MakeMove(&board, board.squares[MoveFrom(move)], move);
      }
    }
  }
  EXPECT_GT(checked, 1000);
}
