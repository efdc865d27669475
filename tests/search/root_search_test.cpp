// The root search: aspiration windows, aborts, the end on a final line, MultiPV lists, the
// book bonus, and what the protocol, the clock and the listeners are told.
#include <gtest/gtest.h>

#include <cstring>
#include <set>

#include "search_testing.h"

namespace {

using namespace search_testing;

constexpr const char* Middlegame = "r4rk1/2q2ppp/p4n2/1p1b2B1/1b1N4/3B3P/PP3PP1/R2QR1K1 w - - 0 20";

class RootSearchTest : public SearchFixture {
 protected:
  // The passes of each iteration, as the clock saw them: the window of each pass and how it
  // ended, with the line's score after a result above alpha.
  struct Pass {
    bool above;
    i32 alpha, beta, score;
  };
  std::vector<std::vector<Pass>> Passes() const {
    std::vector<std::vector<Pass>> iterations(1);
    for (const ClockEvent& e : clock.events) {
      if (e.kind == ClockEvent::IterationDone) {
        iterations.emplace_back();
      } else {
        iterations.back().push_back({e.kind == ClockEvent::Stable, e.alpha, e.beta, e.lineScore});
      }
    }
    return iterations;
  }

  // Every pass follows from the one before: the first window of an iteration from the
  // previous score, each widening by 50, 200, then to the last stage; the other bound stays.
  void CheckAspiration() {
    i32 previous = 0;
    for (const std::vector<Pass>& passes : Passes()) {
      if (passes.empty()) continue;
      EXPECT_EQ(passes[0].alpha, previous - 20);
      EXPECT_EQ(passes[0].beta, previous + 10);
      for (size_t i = 1; i < passes.size(); ++i) {
        const Pass& last = passes[i - 1];
        const Pass& next = passes[i];
        const i32 steps[] = {50, 200};
        if (last.above) {
          ASSERT_GE(last.score, last.beta);
          EXPECT_EQ(next.alpha, last.alpha);
          EXPECT_EQ(next.beta, i - 1 < 2 ? last.score + steps[i - 1] : 32000);
        } else {
          EXPECT_EQ(next.beta, last.beta);
          if (i - 1 >= 2) {
            EXPECT_EQ(next.alpha, -32000);
          } else {
            EXPECT_LT(next.alpha, last.alpha);
          }
        }
      }
      ASSERT_TRUE(passes.back().above);
      previous = passes.back().score;
    }
  }
};

TEST_F(RootSearchTest, FirstWindowAndWideningOnFailHigh) {
  // A free queen: the first window (-20, 10) fails high at once.
  SetPosition("4k3/8/8/3q4/8/8/3R4/4K3 w - - 0 1");
  Run(4);
  auto passes = Passes();
  ASSERT_GE(passes[0].size(), 2u);
  EXPECT_EQ(passes[0][0].alpha, -20);
  EXPECT_EQ(passes[0][0].beta, 10);
  EXPECT_TRUE(passes[0][0].above);
  EXPECT_EQ(passes[0][1].beta, passes[0][0].score + 50);
  CheckAspiration();
}

TEST_F(RootSearchTest, WideningOnFailLow) {
  // A queen down: the first window fails low.
  SetPosition("4k3/8/8/3q4/8/8/8/4K3 w - - 0 1");
  Run(4);
  auto passes = Passes();
  ASSERT_GE(passes[0].size(), 2u);
  EXPECT_FALSE(passes[0][0].above);
  CheckAspiration();
}

TEST_F(RootSearchTest, AspirationRulesHoldThroughDeepSearches) {
  for (const char* fen : {Middlegame, "1k6/8/3K4/8/8/8/8/7R w - - 0 1",
                          "r5rk/5p1p/5R2/4B3/8/8/7P/7K w - - 0 1"}) {
    SCOPED_TRACE(fen);
    clock.events.clear();
    SetPosition(fen);
    Run(7);
    CheckAspiration();
  }
}

TEST_F(RootSearchTest, MatedMoveWithBookPenaltySettlesAtLastStage) {
  // Black's only move Kb8 is mated by Rh8; the book lists it with share 0 (a penalty of 400).
  SetPosition("k7/8/1K6/8/8/8/8/7R b - - 0 1");
  engine->bookCandidates.count = 1;
  engine->bookCandidates.moves[0] = Mv("a8b8");
  engine->bookCandidates.scores[0] = 0;
  const PVLine& line = Run(5);
  EXPECT_EQ(line.score, -400 - (MateScore - 2));
  EXPECT_EQ(line.moves[0], Mv("a8b8"));
}

TEST_F(RootSearchTest, FinalLineEndsSearchThreeIterationsLater) {
  SetPosition("6k1/5ppp/8/8/8/8/8/R5K1 w - - 0 1");
  const PVLine& line = Run(20);
  EXPECT_EQ(line.score, MateScore - 1);
  // The first iteration that ends on a final line, d, and two more; the next one ends the
  // search before its iteration-done report.
  i32 first = 0;
  for (const ClockEvent& e : clock.events)
    if (e.kind == ClockEvent::IterationDone && e.lineFlag && first == 0) first = e.depth;
  ASSERT_GT(first, 0);
  std::vector<i32> expected;
  for (i32 d = 1; d <= first + 2; ++d) expected.push_back(d);
  EXPECT_EQ(clock.iterationDepths(), expected);
  EXPECT_EQ(engine->depthReached, first + 3);
}

TEST_F(RootSearchTest, StopFromListenerKeepsLastCompletedLine) {
  SetPosition(Middlegame);
  u64 key = engine->board->key;
  listener.onCall = [this](const PVLine*, i32) {
    if (engine->depthReached == 5) engine->stopFlag = 1;
  };
  const PVLine& line = Run(30);
  ASSERT_FALSE(listener.calls.empty());
  const PVLine& last = listener.calls.back().line;
  EXPECT_EQ(line.score, last.score);
  ASSERT_GE(line.length, 1);
  EXPECT_EQ(line.moves[0], last.moves[0]);
  // The stop is seen after the next root move, or at the end of the iteration.
  EXPECT_GE(engine->depthReached, 5);
  EXPECT_LE(engine->depthReached, 6);
  EXPECT_EQ(engine->board->key, key);
  EXPECT_EQ(engine->history->count, 0u);
  ASSERT_FALSE(clock.events.empty());
  EXPECT_EQ(clock.events.back().kind, ClockEvent::Stable);  // the abort exit
}

TEST_F(RootSearchTest, TimeUpUnwindsToRootAtAnyDepth) {
  SetPosition(Middlegame);
  Board before = *engine->board;
  for (i64 polls : {0, 1, 3, 17, 100, 1000}) {
    SCOPED_TRACE(polls);
    listener.calls.clear();
    clock.events.clear();
    clock.polls = 0;
    clock.pollsAllowed = polls;
    const PVLine& line = Run(30);
    EXPECT_EQ(engine->board->key, before.key);
    EXPECT_EQ(std::memcmp(engine->board->squares, before.squares, 64), 0);
    EXPECT_EQ(engine->history->count, 0u);
    if (listener.calls.empty()) {
      EXPECT_EQ(line.length, 0);  // nothing completed: the worker plays a legal move
    } else {
      EXPECT_EQ(line.moves[0], listener.calls.back().line.moves[0]);
      EXPECT_EQ(line.score, listener.calls.back().line.score);
    }
  }
}

TEST_F(RootSearchTest, OneLineReportsIndexZeroAndNoEarlyCurrentMoves) {
  SetPosition(Middlegame);
  Run(4);
  ASSERT_FALSE(listener.calls.empty());
  for (const ListenerCall& call : listener.calls) EXPECT_EQ(call.index, 0);
  EXPECT_TRUE(protocol.currMoves.empty());  // the search took less than 500 ms
}

TEST_F(RootSearchTest, MultiPvLinesAreDistinctAndOrdered) {
  for (u32 lines : {3u, 20u}) {
    SCOPED_TRACE(lines);
    SetPosition(lines == 20 ? StartFen : Middlegame);
    listener.calls.clear();
    protocol.currMoves.clear();
    const PVLine& line = Run(4, lines);
    const MultiPvList& list = engine->multiPv;
    ASSERT_GE(list.count, lines);
    std::set<u32> rootMoves;
    for (u32 i = 0; i < lines; ++i) {
      rootMoves.insert(list.entries[i].moves[0]);
      if (i > 0) {
        EXPECT_GE(list.entries[i - 1].score, list.entries[i].score);
      }
    }
    EXPECT_EQ(rootMoves.size(), lines);
    EXPECT_EQ(line.moves[0], list.entries[0].moves[0]);
    EXPECT_EQ(line.score, list.entries[0].score);
    for (const ListenerCall& call : listener.calls) {
      EXPECT_GE(call.index, 1);
      EXPECT_LE(call.index, static_cast<i32>(lines));
    }
    // A current-move report after every root move, from the first millisecond.
    MoveList legal;
    legal.count = 0;
    GenerateLegalMoves(engine->board, &legal);
    EXPECT_EQ(protocol.currMoves.size(), static_cast<size_t>(4 * legal.count));
    for (const CurrMoveReport& report : protocol.currMoves) EXPECT_GT(report.nps, 0);
  }
}

TEST_F(RootSearchTest, MultiPvBestLineAgreesWithOneLineScore) {
  // Mates are exact whatever the window: both modes must see the same mate.
  SetPosition("r5rk/5p1p/5R2/4B3/8/8/7P/7K w - - 0 1");
  const PVLine& multi = Run(6, 3);
  EXPECT_EQ(multi.score, MateScore - 5);
  SetPosition("r5rk/5p1p/5R2/4B3/8/8/7P/7K w - - 0 1");
  const PVLine& single = Run(6, 1);
  EXPECT_EQ(single.score, MateScore - 5);
}

TEST_F(RootSearchTest, MultiPvCountOutsideListIsHeldToIt) {
  for (u32 lines : {0u, static_cast<u32>(-3), 1u}) {
    SCOPED_TRACE(static_cast<i32>(lines));
    SetPosition(Middlegame);
    listener.calls.clear();
    Run(3, lines);
    ASSERT_FALSE(listener.calls.empty());
    for (const ListenerCall& call : listener.calls) EXPECT_EQ(call.index, 0);
  }
  SetPosition(StartFen);
  listener.calls.clear();
  Run(2, 1000);
  EXPECT_EQ(engine->multiPv.count, 20u);
  for (const ListenerCall& call : listener.calls) EXPECT_LE(call.index, 20);
}

TEST_F(RootSearchTest, NodesPerSecondWithNoTimeElapsed) {
  clock.startMs = NowMs() + 60000;  // a clock that has not started yet: elapsed below 0
  EXPECT_EQ(SearchNodesPerSecond(engine, 5), 5000);
  clock.startMs = NowMs() - 2000;
  EXPECT_NEAR(SearchNodesPerSecond(engine, 4000000), 2000000, 10000);
}

TEST_F(RootSearchTest, BookBonusBelowThreshold) {
  struct Case {
    const char* fen;
    double share;
    i32 bonus;
  };
  const char* white = StartFen;
  const char* black = "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq - 0 1";
  const Case cases[] = {
      {white, 0.0, -400}, {white, 0.30, -160}, {white, 0.475, -20}, {white, 0.49, 0},
      {white, 0.90, 0},   {black, 0.44, -48},  {black, 0.46, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.fen) + " " + std::to_string(c.share));
    SetPosition(c.fen);
    u32 move = c.fen == white ? Mv("e2e4") : Mv("e7e5");
    engine->bookCandidates.count = 1;
    engine->bookCandidates.moves[0] = move;
    engine->bookCandidates.scores[0] = static_cast<i32>(c.share * (1 << 30));
    EXPECT_EQ(RootBookBonus(engine, move), c.bonus);
    EXPECT_EQ(RootBookBonus(engine, Mv(c.fen == white ? "d2d4" : "d7d5")), 0);
  }
  engine->bookCandidates.count = 0;
  EXPECT_EQ(RootBookBonus(engine, Mv("e7e5")), 0);
}

TEST_F(RootSearchTest, NoLegalMoveIsFinal) {
  SetPosition("k7/1Q6/1K6/8/8/8/8/8 b - - 0 1");  // mated
  const PVLine& mated = Run(3);
  EXPECT_EQ(mated.score, -MateScore);
  EXPECT_EQ(mated.flag, 1);
  EXPECT_EQ(mated.length, 0);
  SetPosition("k7/8/1QK5/8/8/8/8/8 b - - 0 1");  // stalemated
  const PVLine& stalemate = Run(3, 3);
  EXPECT_EQ(stalemate.score, 0);
  EXPECT_EQ(stalemate.flag, 1);
}

TEST_F(RootSearchTest, MaxDepthBelowOneSearchesNothing) {
  SetPosition(Middlegame);
  Run(0);
  EXPECT_EQ(SearchNodes(engine), 0u);
  EXPECT_TRUE(listener.calls.empty());
}

}  // namespace
