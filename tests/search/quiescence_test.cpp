// The quiescence search on small positions: mate and stand pat in check, the futility return,
// the end at the first non-winning capture, and the capture order.
#include <gtest/gtest.h>

#include "search/quiescence.h"
#include "search_testing.h"

namespace {

using namespace search_testing;

class QuiescenceTest : public SearchFixture {
 protected:
  i32 Quiet(const char* fen, i32 alpha, i32 beta, i32 depth64 = 0) {
    SetPosition(fen);
    LoadSearchParams();
    engine->frames[0].onPvPath = 0;
    for (SearchFrame& frame : engine->frames) frame.stats = SearchStats{};
    return Quiesce(&engine->frames[1], alpha, beta, depth64);
  }
  u64 Nodes() { return SearchNodes(engine); }
};

TEST_F(QuiescenceTest, DeltaMarginsByDepth) {
  EXPECT_EQ(QuiesceDeltaMargin[0], 1000);
  EXPECT_EQ(QuiesceDeltaMargin[1], 500);
  EXPECT_EQ(QuiesceDeltaMargin[9], 130);
}

TEST_F(QuiescenceTest, MatedInCheckScoresByPly) {
  EXPECT_EQ(Quiet("k7/1Q6/1K6/8/8/8/8/8 b - - 0 1", -MateScore, MateScore), 1 - MateScore);
}

TEST_F(QuiescenceTest, SideInCheckMayStandPat) {
  // Black is in check but a queen up: the evaluation is at least beta, no evasion is tried.
  EXPECT_EQ(Quiet("k7/8/8/8/8/8/q7/R3K3 b - - 0 1", -100, 0), 500);
  EXPECT_EQ(Nodes(), 0u);
  // With beta above it the evasions are searched.
  Quiet("k7/8/8/8/8/8/q7/R3K3 b - - 0 1", -100, 2000);
  EXPECT_GT(Nodes(), 0u);
}

TEST_F(QuiescenceTest, FutilityReturnsEvaluationFarBelowAlpha) {
  // A rook down with nothing to take: even the margin of 1000 does not reach alpha.
  EXPECT_EQ(Quiet("r3k3/8/8/8/8/8/8/4K3 w - - 0 1", 600, 700), -500);
  qs_prune_1 = 0;
  EXPECT_EQ(Quiet("r3k3/8/8/8/8/8/8/4K3 w - - 0 1", 600, 700), 600);
}

TEST_F(QuiescenceTest, EqualExchangeEndsNodeUnlessSecondPruneIsOff) {
  // exd5 exd5: the pawn trade is worth 0 by exchange value.
  const char* fen = "4k3/8/4p3/3p4/4P3/8/8/4K3 w - - 0 1";
  Quiet(fen, -50, 50);
  EXPECT_EQ(Nodes(), 0u);
  qs_prune_2 = 0;
  Quiet(fen, -50, 50);
  EXPECT_GT(Nodes(), 0u);
  EXPECT_EQ(engine->history->count, 0u);
}

TEST_F(QuiescenceTest, WinningCaptureIsTakenAndLineKept) {
  // The undefended rook on d5.
  const char* fen = "4k3/8/8/3r4/8/8/3Q4/4K3 w - - 0 1";
  i32 score = Quiet(fen, -50, 2000);
  EXPECT_EQ(score, 1000);
  const PVLine& line = engine->frames[1].line;
  ASSERT_GE(line.length, 1);
  EXPECT_EQ(line.moves[0], Mv("d2d5"));
  EXPECT_EQ(engine->frames[1].nodeType, 3);
  EXPECT_EQ(engine->frames[1].stats.quiescenceNodes, engine->frames[1].stats.nodes);
}

TEST_F(QuiescenceTest, QuietQueenPromotionPassesDeltaTest) {
  // Behind by a rook, alpha high: only a promotion (gain 900) can reach it.
  const char* fen = "r3k3/6P1/8/8/8/8/8/4K3 w - - 0 1";
  i32 score = Quiet(fen, 300, 600);
  EXPECT_GT(Nodes(), 0u);
  EXPECT_GE(score, 300);
}

}  // namespace
