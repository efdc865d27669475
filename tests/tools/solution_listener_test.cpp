// The listeners' verdicts and stop rules, fed one principal variation per iteration.
#include <gtest/gtest.h>

#include <vector>

#include "console_fixture.h"
#include "search/time_controller.h"
#include "tools/solution_listener.h"

namespace {

using console_testing::ConsoleFixture;

constexpr u32 Solution = MakeMoveWord(12, 14);  // b5b7, only a word here
constexpr u32 Other = MakeMoveWord(8, 10);

struct Iteration {
  i32 depth;
  u32 firstMove;
  bool stopping;       // a stop is already under way
  i32 foundDepth;      // the listener's verdict afterwards
  bool stopsSearch;
};

class SolutionListeners : public ConsoleFixture {
 protected:
  void SetUp() override {
    ConsoleFixture::SetUp();
    engine->timeController = &protocol.fixedTc;
    protocol.fixedTc.time = 1000;
    protocol.fixedTc.start(0, 1, 0);
  }

  void feed(PVListener* listener, const i32* foundDepth, const std::vector<Iteration>& steps) {
    for (const Iteration& step : steps) {
      engine->depthReached = step.depth;
      engine->stopFlag = step.stopping ? 1 : 0;
      PVLine line{};
      line.moves[0] = step.firstMove;
      line.length = 1;
      listener->onNewPV(&line, 0);
      EXPECT_EQ(*foundDepth, step.foundDepth) << "depth " << step.depth;
      EXPECT_EQ(engine->stopFlag.load() != 0, step.stopping || step.stopsSearch)
          << "depth " << step.depth;
    }
  }
};

}  // namespace

TEST_F(SolutionListeners, BestMoveStopRules) {
  struct Case {
    const char* name;
    std::vector<Iteration> steps;
  };
  const std::vector<Case> cases = {
      {"found at 1 and kept: stops at 5",
       {{1, Solution, false, 1, false}, {2, Solution, false, 1, false},
        {4, Solution, false, 1, false}, {5, Solution, false, 1, true}}},
      {"found at 6: stops at 8",
       {{5, Other, false, -1, false}, {6, Solution, false, 6, false},
        {7, Solution, false, 6, false}, {8, Solution, false, 6, true}}},
      {"away and back: the later depth counts",
       {{3, Solution, false, 3, false}, {4, Other, false, -1, false},
        {6, Solution, false, 6, false}, {7, Solution, false, 6, false}}},
      {"a line cut short by the stop keeps the verdict",
       {{2, Solution, false, 2, false}, {3, Other, true, 2, false}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SolutionListener listener(engine);
    listener.solutions[0] = MakeMoveWord(1, 2);
    listener.solutions[1] = Solution;
    listener.solutionCount = 2;
    feed(&listener, &listener.foundDepth, c.steps);
  }
  // Without solution moves nothing ever matches.
  SolutionListener empty(engine);
  feed(&empty, &empty.foundDepth, {{1, EmptyMove, false, -1, false}, {6, Other, false, -1, false}});
}

TEST_F(SolutionListeners, AvoidMoveRules) {
  SolutionListenerAM never(engine, Solution);
  EXPECT_EQ(never.foundDepth, 0);
  // Not yet twice the controller's time: no early stop, however deep.
  feed(&never, &never.foundDepth, {{1, Other, false, 0, false}, {9, Other, false, 0, false}});
  EXPECT_EQ(never.foundTime, 0u);
  EXPECT_EQ(never.foundNodes, 0u);

  SolutionListenerAM turned(engine, Solution);
  feed(&turned, &turned.foundDepth, {{2, Solution, false, -1, false}, {4, Other, false, 4, false}});
  // Past twice the time, the verdict must also be three iterations old.
  protocol.fixedTc.time = 1;
  protocol.fixedTc.startMs = NowMs() - 10;
  feed(&turned, &turned.foundDepth, {{6, Other, false, 4, false}, {7, Other, false, 4, true}});
}
