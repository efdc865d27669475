#include <gtest/gtest.h>

#include <cstring>

#include "eval/nnue.h"
#include "eval/network_fixture.h"
#include "eval/position_helpers.h"
#include "search/engine.h"
#include "search/frame_entries.h"

// The search's entry points work on the engine's per-ply accumulators and frame counters.
TEST(NnueSearchEntry, UpdateAndEvaluateThroughFrames) {
  ASSERT_TRUE(InstallNetwork(*RandomFileWeights(21, 500)));
  auto engine = std::make_unique<Engine>(nullptr);
  Board* board = engine->board;
  ASSERT_TRUE(SetFen(board, "r3k2r/ppp2ppp/8/q2pP3/8/8/PPPQ1PPP/R3K2R w KQkq d6 0 1"));
  RefreshAccumulator(board, &engine->accumulators[0]);
  const char* line[] = {"e5d6", "e8c8", "e1g1", "c7d6"};  // en passant, both castlings, capture
  for (int ply = 0; ply < 4; ++ply) {
    SearchFrame* frame = &engine->frames[ply];
    const u32 move = Mv(line[ply]);
    ASSERT_TRUE(IsLegalMove(board, move)) << line[ply];
    const MoveFacts f = FactsOf(*board, move);
    frame->currentMove = move;
    frame->movingPiece = f.movingPiece;
    frame->capturedPiece = f.capturedPiece;
    MakeMove(board, f.movingPiece, move);
    UpdateAccumulatorForMove(frame, f.captureSquare);
    Accumulator refreshed;
    RefreshAccumulator(board, &refreshed);
    EXPECT_EQ(std::memcmp(refreshed.half, engine->accumulators[ply + 1].half, sizeof refreshed.half), 0)
        << line[ply];

    SearchFrame* child = &engine->frames[ply + 1];
    NnueVerdict verdict;
    EXPECT_EQ(NnueEvaluate(child), NnueEvaluateBoard(board, &refreshed, &verdict));
    EXPECT_EQ(child->stats.evalCalls, 1u);
    EXPECT_EQ(child->stats.networkEvals, 1u);
  }

  // A recognised draw counts the call but not a network run, and leaves code 4 in the frame.
  SearchFrame* frame = &engine->frames[10];
  ASSERT_TRUE(SetFen(board, "8/8/8/4k3/8/8/8/3NK3 w - - 0 1"));
  RefreshAccumulator(board, &engine->accumulators[10]);
  EXPECT_EQ(NnueEvaluate(frame), 0);
  EXPECT_EQ(frame->recogniserCode, RecogniserDraw);
  EXPECT_EQ(frame->stats.evalCalls, 1u);
  EXPECT_EQ(frame->stats.networkEvals, 0u);
}
