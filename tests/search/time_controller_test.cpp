// The time allocation of the three controllers, checked against worked figures.
#include <gtest/gtest.h>

#include "search/stub_protocol.h"
#include "search/time_controller.h"

namespace {

const char* const Start = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1";

struct StartCase {
  const char* what;
  const char* fen;
  const char* moves;  // played on the game history first (blank-separated)
  i64 time;
  i64 reserve;
  bool easyBefore;
  const char* predicted;  // predictedMove ("" = 0); lastMove is the history's last move, or 0
  i32 movesToGo;      // as the protocol reports it
  i32 increment;
  // Expected:
  i32 mtg;
  i64 allotted;
  i64 target;
  bool easyAfter;
};

const StartCase StartCases[] = {
    // est = 8120 / 800 + 60 = 70; 2000 / 70 = 28, halved; the expected (empty) reply halves it.
    {"defaults", Start, "", 5000, 3000, false, "", 0, 0, 70, 14, 7, true},
    {"second expected reply in a row", Start, "", 5000, 3000, true, "", 0, 0, 70, 14, 14, false},
    {"unexpected reply", Start, "", 5000, 3000, false, "h7h6", 0, 0, 70, 14, 14, false},
    {"no halving above 9999 ms", Start, "", 60000, 3000, false, "h7h6", 0, 0, 70, 814, 814, false},
    {"moves to go", Start, "", 60000, 3000, false, "h7h6", 20, 0, 20, 2850, 2850, false},
    {"movestogo without number", Start, "", 60000, 3000, false, "h7h6", -1, 0, 70, 814, 814, false},
    {"negative moves to go", Start, "", 60000, 3000, false, "h7h6", -5, 0, 70, 814, 814, false},
    // 7000 / 1, capped at 10000 / sqrt(4).
    {"last move of the control", Start, "", 10000, 3000, false, "h7h6", 1, 0, 1, 7000, 5000, false},
    {"below one and a half reserves", Start, "", 4000, 3000, false, "h7h6", 0, 0, 70, 28, 28, false},
    {"increment", Start, "", 60000, 3000, false, "h7h6", 0, 1000, 70, 1814, 1814, false},
    // 100 x 30000000 does not fit 32 bits; the cap 60000 / sqrt(202) binds.
    {"huge increment", Start, "", 60000, 3000, false, "h7h6", 100, 30000000, 100, 42857957, 4221, false},
    {"no reserve after level 0", Start, "", 5000, 0, false, "h7h6", 0, 0, 70, 35, 35, false},
    // Four queens against a bare king: the estimate falls to its floor of 8.
    {"estimate floor", "4k3/8/8/8/8/8/QQQQ4/4K3 w - - 0 1", "", 60000, 3000, false, "h7h6", 0, 0, 8,
     7125, 7125, false},
    // Game ply 80 takes 4 moves off the estimate.
    {"late in the game", "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 41", "", 60000,
     3000, false, "h7h6", 0, 0, 66, 863, 863, false},
    // 1. e4 d5 2. exd5 Qxd5 expected: a recapture, a quarter of 57000 / 69.
    {"expected recapture", Start, "e2e4 d7d5 e4d5 d8d5", 60000, 3000, false, "d8d5", 0, 0, 69, 826,
     206, true},
    // A pawn up for White: est = 8020 / 800 - 100 / 15 + 60 = 64.
    {"expected reply, no recapture", Start, "e2e4 d7d5 e4d5 g8f6", 60000, 3000, false, "g8f6", 0, 0,
     64, 890, 445, true},
};

class TimeControllerTest : public ::testing::Test {
 protected:
  EngineFixture f;
  DynamicTimeController& tc = f.protocol.dynamicTc;

  void play(const char* moves) {
    std::string list = moves;
    std::size_t pos = 0;
    while (pos < list.size()) {
      std::size_t end = list.find(' ', pos);
      if (end == std::string::npos) end = list.size();
      u32 move = Mv(list.substr(pos, end - pos).c_str());
      ASSERT_TRUE(IsLegalMove(f.engine->board, move)) << list.substr(pos, end - pos);
      PushGameMove(f.engine->history, move);
      pos = end + 1;
    }
  }
  u32 lastMove() {
    GameHistory* h = f.engine->history;
    return h->count ? h->entries[h->count - 1].move : 0;
  }
  void setElapsed(i64 ms) { tc.startMs = NowMs() - ms; }
  void setRootScore(i32 score) { f.engine->frames[0].line.score = score; }
};

TEST_F(TimeControllerTest, DynamicStartAllotsTheMove) {
  for (const StartCase& c : StartCases) {
    SCOPED_TRACE(c.what);
    ASSERT_TRUE(f.setPosition(c.fen));
    std::lock_guard<std::mutex> lock(f.engine->thinkMutex);
    play(c.moves);
    tc.time = c.time;
    tc.reserve = c.reserve;
    tc.easyMove = c.easyBefore;
    tc.predictedMove = *c.predicted ? Mv(c.predicted) : 0;
    tc.lastBestMove = 99;
    i64 before = NowMs();
    tc.start(lastMove(), c.movesToGo, c.increment);
    EXPECT_EQ(tc.movesToGo, c.mtg);
    EXPECT_EQ(tc.allotted, c.allotted);
    EXPECT_EQ(tc.target, c.target);
    EXPECT_EQ(tc.easyMove, c.easyAfter);
    EXPECT_TRUE(tc.firstIteration);
    EXPECT_EQ(tc.lastBestMove, 0u);
    EXPECT_GE(tc.startMs, before);
  }
}

TEST_F(TimeControllerTest, SetLevelDerivesTheReserve) {
  tc.setLevel(40, 60000);
  EXPECT_EQ(tc.reserve, 750);
  EXPECT_EQ(tc.movesPerControl, 40);
  EXPECT_EQ(tc.timePerControl, 60000);
  tc.setLevel(0, 300000);
  EXPECT_EQ(tc.reserve, 0);
  tc.setTime(1234);
  EXPECT_EQ(tc.getTime(), 1234);
}

TEST_F(TimeControllerTest, ConstructorValues) {
  EXPECT_EQ(tc.time, 5000);
  EXPECT_EQ(tc.movesPerControl, 10);
  EXPECT_EQ(tc.timePerControl, 60000);
  EXPECT_EQ(tc.reserve, 3000);
  EXPECT_FALSE(tc.easyMove);
  EXPECT_EQ(tc.predictedMove, 0u);
  EXPECT_EQ(f.protocol.unlimitedTc.time, 999999999);
  EXPECT_EQ(f.protocol.fixedTc.time, 5000);
}

// One step of a search as the root reports it, and what the controller then holds.
struct IterationCase {
  const char* what;
  i32 depth;
  u32 bestMove;
  i32 rootScore;
  i64 elapsed;
  i64 time;
  // Expected afterwards:
  i64 target;
  u32 lastBestMove;
  i32 lastRootScore;
  bool firstIteration;
};

// Before each case: time 60000 from the start position, so allotted = target = 814, cap 5035;
// lastBestMove 5, LastRootScore 0, firstIteration set.
const IterationCase IterationCases[] = {
    {"depth 1 records and keeps the first-iteration guard", 1, 7, 40, 3000, 60000, 814, 7, 40, true},
    {"depth 4 records", 4, 7, 40, 3000, 60000, 814, 7, 40, false},
    {"low clock records nothing", 5, 7, 40, 3000, 4000, 814, 5, 0, false},
    {"same move, score moved 100: target x 1.5", 5, 5, 100, 3000, 60000, 1221, 5, 100, false},
    {"same move, score moved 30: unchanged", 5, 5, 30, 3000, 60000, 814, 5, 0, false},
    {"same move, score moved 2000: six allotments", 5, 5, -2000, 3000, 60000, 4884, 5, -2000,
     false},
    {"new move: target x 1.5", 5, 7, 0, 3000, 60000, 1221, 7, 0, false},
    {"too early to adjust", 5, 7, 0, 50, 60000, 814, 7, 0, false},
};

TEST_F(TimeControllerTest, IterationDoneAdjustsTheTarget) {
  for (const IterationCase& c : IterationCases) {
    SCOPED_TRACE(c.what);
    tc.time = 60000;
    tc.reserve = 3000;
    tc.easyMove = true;
    tc.start(1, 0, 0);
    ASSERT_EQ(tc.target, 814);
    tc.lastBestMove = 5;
    LastRootScore = 0;
    tc.time = c.time;
    setRootScore(c.rootScore);
    setElapsed(c.elapsed);
    tc.iterationDone(c.depth, c.bestMove);
    EXPECT_EQ(tc.target, c.target);
    EXPECT_EQ(tc.lastBestMove, c.lastBestMove);
    EXPECT_EQ(LastRootScore, c.lastRootScore);
    EXPECT_EQ(tc.firstIteration, c.firstIteration);
  }
}

TEST_F(TimeControllerTest, IterationDoneRespectsTheCap) {
  tc.time = 10000;
  tc.reserve = 3000;
  tc.start(1, 1, 0);  // allotted 7000, capped to 5000
  ASSERT_EQ(tc.target, 5000);
  tc.lastBestMove = 5;
  setElapsed(3000);
  tc.iterationDone(6, 9);
  EXPECT_EQ(tc.target, 5000);
}

TEST_F(TimeControllerTest, DynamicTimeUpRules) {
  tc.time = 60000;
  tc.reserve = 3000;
  tc.start(1, 0, 0);  // target 814
  setElapsed(50000);
  EXPECT_FALSE(tc.isTimeUp()) << "before the second iteration";
  tc.iterationDone(2, 5);
  EXPECT_TRUE(tc.isTimeUp());
  setElapsed(100);
  EXPECT_FALSE(tc.isTimeUp());
  setElapsed(50000);
  f.engine->ponderMode = PonderOn;
  EXPECT_FALSE(tc.isTimeUp()) << "pondering";
  f.engine->ponderMode = PonderOff;
  tc.setUnstable();
  setElapsed(40000);
  EXPECT_FALSE(tc.isTimeUp()) << "unstable: up to 0.8 of the clock";
  setElapsed(50000);
  EXPECT_TRUE(tc.isTimeUp());
  tc.setStable();
  setElapsed(1000);
  EXPECT_TRUE(tc.isTimeUp());
}

TEST_F(TimeControllerTest, FixedAndUnlimitedControllers) {
  FixedTimeController& fixed = f.protocol.fixedTc;
  fixed.setLevel(40, 5000);
  fixed.start(0, 0, 0);
  fixed.startMs = NowMs() - 4000;
  EXPECT_FALSE(fixed.isTimeUp());
  fixed.startMs = NowMs() - 6000;
  EXPECT_TRUE(fixed.isTimeUp());

  UnlimitedTimeController& unlimited = f.protocol.unlimitedTc;
  unlimited.setLevel(40, 5000);
  EXPECT_EQ(unlimited.getTime(), 999999999);
  unlimited.start(0, 0, 0);
  unlimited.startMs = NowMs() - 2000000000;
  EXPECT_FALSE(unlimited.isTimeUp());
}

}  // namespace
