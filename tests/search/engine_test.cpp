// The worker thread against a recording protocol: construction, go, stop, quit, pondering,
// results after the engine's move, and go/stop races.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <thread>

#include "board/fen.h"
#include "book/book.h"
#include "search/history_table.h"
#include "search/pv_listener.h"
#include "search/think.h"
#include "search/stub_protocol.h"

namespace {

std::atomic<int> ThinkCalls{0};

void SetLine(Engine* engine, std::initializer_list<const char*> moves) {
  PVLine& line = engine->frames[0].line;
  line.length = 0;
  line.flag = 0;
  for (const char* move : moves) line.moves[line.length++] = MoveOf(move);
}

void WaitUntilStopped(Engine* engine) {
  while (!engine->stopFlag.load()) std::this_thread::sleep_for(std::chrono::microseconds(50));
}

// The engine's own move e2e4 expecting e7e5; a ponder search (after the pushed reply) finds g1f3.
void SetQuickLine(Engine* engine) {
  if (engine->history->count == 0) SetLine(engine, {"e2e4", "e7e5"});
  else SetLine(engine, {"g1f3"});
}

bool QuickLine(Engine* engine) {
  ThinkCalls.fetch_add(1);
  SetQuickLine(engine);
  return true;
}

// A search without end, which clears the stop flag when it starts, as the root search does;
// with OwnThinkEndsAlone the engine's own think ends by itself, as on time.
std::atomic<bool> OwnThinkEndsAlone{false};
bool SearchUntilStopped(Engine* engine) {
  ThinkCalls.fetch_add(1);
  engine->stopFlag = 0;
  if (!(engine->history->count == 0 && OwnThinkEndsAlone.load())) WaitUntilStopped(engine);
  SetQuickLine(engine);
  return true;
}

// A search without end that leaves the stop flag as it finds it.
bool SearchUntilStoppedKeepingFlag(Engine* engine) {
  ThinkCalls.fetch_add(1);
  WaitUntilStopped(engine);
  SetQuickLine(engine);
  return true;
}

u32 ScriptedMove;
bool PlayScriptedMove(Engine* engine) {
  PVLine& line = engine->frames[0].line;
  line.moves[0] = ScriptedMove;
  line.length = 1;
  return true;
}

class WorkerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ThinkCalls = 0;
    OwnThinkEndsAlone = false;
    ThinkStandIn = nullptr;
  }
  void TearDown() override { ThinkStandIn = nullptr; }

  // Creates the engine after the stand-in is chosen (thread creation publishes it).
  EngineFixture& start(ThinkFunction think) {
    ThinkStandIn = think;
    fixture = std::make_unique<EngineFixture>();
    return *fixture;
  }

  std::unique_ptr<EngineFixture> fixture;
};

TEST_F(WorkerTest, ConstructionLinksTheFramesAndReturnsWithTheWorkerIdle) {
  HistoryTable[3][5] = 7;
  HistoryMax = 7;
  EngineFixture& f = start(nullptr);
  Engine* e = f.engine;
  EXPECT_EQ(e->threadState.load(), ThreadIdle);
  EXPECT_EQ(e->ponderMode.load(), PonderOff);
  EXPECT_EQ(e->maxDepth, 59);
  EXPECT_EQ(e->listenerCount, 0);
  EXPECT_EQ(e->analysing, 0);
  EXPECT_EQ(e->multiPv.count, 0u);
  EXPECT_EQ(HistoryTable[3][5], 0u);
  EXPECT_EQ(HistoryMax, 0u);
  EXPECT_EQ(GetFen(e->board), StartFen);
  EXPECT_EQ(e->board->phase, Opening);
  EXPECT_EQ(e->history->board, e->board);
  EXPECT_EQ(e->history->count, 0u);
  EXPECT_EQ(e->history->learnDone, 0);
  for (i32 i = 0; i < SearchFrameCount; ++i) {
    const SearchFrame& frame = e->frames[i];
    EXPECT_EQ(frame.ply, i);
    EXPECT_EQ(frame.engine, e);
    EXPECT_EQ(frame.board, e->board);
    EXPECT_EQ(frame.history, e->history);
    EXPECT_EQ(frame.parent, i ? &e->frames[i - 1] : nullptr);
    EXPECT_EQ(frame.child, i + 1 < SearchFrameCount ? &e->frames[i + 1] : nullptr);
    EXPECT_EQ(frame.movingPiece, Empty);
    EXPECT_EQ(frame.capturedPiece, Empty);
    EXPECT_EQ(frame.line.length, 0);
  }
  ASSERT_NE(e->bookPair, nullptr);
  EXPECT_EQ(e->bookPair->board, e->board);
  EXPECT_EQ(e->bookPair->mainBook.capacity, 0u);
  EXPECT_EQ(e->bookPair->learnBook.table, nullptr);
  EXPECT_EQ(e->bookPair->learnBook.board, e->board);
}

TEST_F(WorkerTest, StopSearchOnAnIdleWorkerClearsAPendingGo) {
  EngineFixture& f = start(nullptr);
  {
    std::lock_guard<std::mutex> lock(f.engine->wakeMutex);
    f.engine->goFlag = 1;
  }
  StopSearch(f.engine);
  EXPECT_EQ(f.engine->goFlag, 0);
  EXPECT_EQ(f.engine->stopFlag.load(), 1);
  EXPECT_EQ(f.protocol.bestMoves.load(), 0);
}

TEST_F(WorkerTest, GoWithoutALinePlaysTheFirstLegalMove) {
  EngineFixture& f = start(nullptr);
  WakeEngine(f.engine);
  ASSERT_TRUE(WaitFor([&] { return f.protocol.bestMoves.load() == 1; }));
  std::lock_guard<std::mutex> lock(f.engine->thinkMutex);
  MoveList moves;
  moves.count = 0;
  Board start;
  SetFen(&start, StartFen);
  GenerateLegalMoves(&start, &moves);
  ASSERT_GT(moves.count, 0);
  GameHistory* history = f.engine->history;
  ASSERT_EQ(history->count, 1u);
  EXPECT_EQ(history->entries[0].move, moves.moves[0]);
  EXPECT_EQ(history->entries[0].engineMove, 1);
  EXPECT_EQ(history->entries[0].key, f.engine->board->key);
  EXPECT_EQ(f.protocol.lastBest.load(), moves.moves[0]);
  EXPECT_EQ(f.protocol.lastPonder.load(), 0u);
  EXPECT_EQ(f.engine->frames[0].line.length, 1);
}

TEST_F(WorkerTest, PlaysTheLineAndPredictsTheReplyWithoutPondering) {
  EngineFixture& f = start(QuickLine);
  f.engine->timeController = &f.protocol.dynamicTc;
  WakeEngine(f.engine);
  ASSERT_TRUE(WaitFor([&] { return f.protocol.bestMoves.load() == 1; }));
  std::lock_guard<std::mutex> lock(f.engine->thinkMutex);
  EXPECT_EQ(f.protocol.lastBest.load(), MoveOf("e2e4"));
  EXPECT_EQ(f.protocol.lastPonder.load(), MoveOf("e7e5"));
  EXPECT_EQ(f.protocol.dynamicTc.predictedMove, MoveOf("e7e5"));
  EXPECT_EQ(f.engine->ponderMove, MoveOf("e7e5"));
  EXPECT_EQ(f.engine->ponderMode.load(), PonderOff);  // ponderAllowed is 0
  EXPECT_EQ(f.engine->history->count, 1u);
}

TEST_F(WorkerTest, PonderHitPlaysThePonderSearchsMove) {
  EngineFixture& f = start(QuickLine);
  f.protocol.ponderAllowed = 1;
  f.protocol.ponderEnabled = true;
  WakeEngine(f.engine);
  ASSERT_TRUE(WaitFor([&] { return ThinkCalls.load() == 2; }));
  EXPECT_EQ(f.protocol.bestMoves.load(), 1);
  f.engine->ponderMode = PonderOff;  // the opponent played the expected reply
  ASSERT_TRUE(WaitFor([&] { return f.protocol.bestMoves.load() == 2; }));
  std::lock_guard<std::mutex> lock(f.engine->thinkMutex);
  GameHistory* history = f.engine->history;
  ASSERT_EQ(history->count, 3u);
  EXPECT_EQ(history->entries[0].move, MoveOf("e2e4"));
  EXPECT_EQ(history->entries[0].engineMove, 1);
  EXPECT_EQ(history->entries[1].move, MoveOf("e7e5"));
  EXPECT_EQ(history->entries[1].engineMove, 0);
  EXPECT_EQ(history->entries[2].move, MoveOf("g1f3"));
  EXPECT_EQ(history->entries[2].engineMove, 1);
  EXPECT_EQ(f.protocol.lastPonder.load(), 0u);
  EXPECT_EQ(f.engine->ponderMode.load(), PonderOff);
}

TEST_F(WorkerTest, StopDuringAPonderSearchDropsItAndTakesTheReplyBack) {
  EngineFixture& f = start(QuickLine);
  f.protocol.ponderAllowed = 1;
  f.protocol.ponderEnabled = true;
  WakeEngine(f.engine);
  ASSERT_TRUE(WaitFor([&] { return ThinkCalls.load() == 2; }));
  StopSearch(f.engine);
  std::lock_guard<std::mutex> lock(f.engine->thinkMutex);
  EXPECT_EQ(f.protocol.bestMoves.load(), 1);
  EXPECT_EQ(f.engine->ponderMode.load(), PonderAbandoned);
  GameHistory* history = f.engine->history;
  ASSERT_EQ(history->count, 1u);
  EXPECT_EQ(history->entries[0].move, MoveOf("e2e4"));
  EXPECT_EQ(f.engine->board->key, history->entries[0].key);
}

TEST_F(WorkerTest, StopDuringItsOwnThinkCancelsThePonderThatWouldFollow) {
  EngineFixture& f = start(SearchUntilStopped);
  f.protocol.ponderAllowed = 1;
  f.protocol.ponderEnabled = true;
  WakeEngine(f.engine);
  ASSERT_TRUE(WaitFor([&] { return ThinkCalls.load() == 1; }));
  StopSearch(f.engine);  // would wait for ever on an unstopped ponder search
  std::lock_guard<std::mutex> lock(f.engine->thinkMutex);
  EXPECT_EQ(f.protocol.bestMoves.load(), 1);
  EXPECT_NE(f.engine->ponderMode.load(), PonderOn);
  EXPECT_EQ(f.engine->history->count, 1u);
}

TEST_F(WorkerTest, StopAfterAnEndedSearchThatWaitsForPonderhitPlaysIt) {
  // UCI "go ponder": pondering without a pushed reply; "stop" ends the wait and plays.
  EngineFixture& f = start(QuickLine);
  f.engine->ponderMode = PonderOn;
  WakeEngine(f.engine);
  ASSERT_TRUE(WaitFor([&] { return ThinkCalls.load() == 1; }));
  f.engine->ponderMode = PonderOff;
  StopSearch(f.engine);
  std::lock_guard<std::mutex> lock(f.engine->thinkMutex);
  EXPECT_EQ(f.protocol.bestMoves.load(), 1);
  EXPECT_EQ(f.engine->history->count, 1u);
}

TEST_F(WorkerTest, QuitDuringASearchEndsTheThread) {
  EngineFixture& f = start(SearchUntilStopped);
  WakeEngine(f.engine);
  ASSERT_TRUE(WaitFor([&] { return ThinkCalls.load() == 1; }));
  QuitEngine(f.engine);
  EXPECT_FALSE(f.engine->thread.joinable());
  EXPECT_EQ(f.protocol.bestMoves.load(), 1);
}

TEST_F(WorkerTest, NoLegalMoveAndNoLineMeansNothingToPlay) {
  EngineFixture& f = start(nullptr);
  ASSERT_TRUE(f.setPosition("k7/8/1Q6/8/8/8/8/7K b - - 0 1"));
  WakeEngine(f.engine);
  ASSERT_TRUE(WaitFor([&] { return f.engine->threadState.load() == ThreadIdle; }));
  std::lock_guard<std::mutex> lock(f.engine->thinkMutex);
  EXPECT_EQ(f.protocol.bestMoves.load(), 0);
  EXPECT_EQ(f.engine->history->count, 0u);
}

TEST_F(WorkerTest, ReportsMateAndStalemateAfterItsOwnMove) {
  struct Case {
    const char* fen;
    const char* move;
    i32 result;
  } cases[] = {
      {"rnbqkbnr/pppp1ppp/8/4p3/6P1/5P2/PPPPP2P/RNBQKBNR b KQkq - 0 2", "d8h4", ResultBlackWins},
      {"k7/8/1K6/8/8/8/8/6Q1 w - - 0 1", "g1g8", ResultWhiteWins},
      {"k7/8/8/1Q6/8/8/8/7K w - - 0 1", "b5b6", ResultStalemate},
      {"k7/8/8/1Q6/8/8/8/7K w - - 0 1", "b5b4", 0},
  };
  EngineFixture& f = start(PlayScriptedMove);
  int played = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.fen);
    ASSERT_TRUE(f.setPosition(c.fen));
    {
      std::lock_guard<std::mutex> lock(f.engine->thinkMutex);
      ScriptedMove = MoveOf(c.move);
      std::lock_guard<std::mutex> results(f.protocol.resultsMutex);
      f.protocol.results.clear();
    }
    WakeEngine(f.engine);
    ++played;
    ASSERT_TRUE(WaitFor([&] { return f.protocol.bestMoves.load() == played; }));
    std::lock_guard<std::mutex> lock(f.engine->thinkMutex);
    std::vector<i32> results = f.protocol.resultsSoFar();
    if (c.result) {
      EXPECT_EQ(results, std::vector<i32>{c.result});
    } else {
      EXPECT_TRUE(results.empty());
    }
  }
}

TEST_F(WorkerTest, EveryStoppedGoReportsExactlyOneMove) {
  EngineFixture& f = start(SearchUntilStoppedKeepingFlag);
  for (int i = 0; i < 2000; ++i) {
    f.engine->ponderMode = PonderOff;
    WakeEngine(f.engine);
    // Vary where the stop lands: before the worker wakes, while it thinks, as it plays.
    Spin((i % 7) * 40);
    StopSearch(f.engine);
    ASSERT_EQ(f.protocol.bestMoves.load(), i + 1) << "go " << i;
    std::lock_guard<std::mutex> lock(f.engine->thinkMutex);
    ASSERT_EQ(f.engine->history->count, 1u);
    UndoMove(f.engine->history);
  }
}

TEST_F(WorkerTest, StopsEndSearchesThatClearTheFlagAndPonderSearchesAlike) {
  EngineFixture& f = start(SearchUntilStopped);
  f.protocol.ponderAllowed = 1;
  f.protocol.ponderEnabled = true;
  for (int i = 0; i < 400; ++i) {
    // Odd rounds: the own think ends by itself and the worker goes on to ponder.
    OwnThinkEndsAlone = i % 2 == 1;
    f.engine->ponderMode = PonderOff;
    WakeEngine(f.engine);
    Spin((i % 11) * 60);
    StopSearch(f.engine);
    ASSERT_EQ(f.protocol.bestMoves.load(), i + 1) << "go " << i;
    std::lock_guard<std::mutex> lock(f.engine->thinkMutex);
    ASSERT_NE(f.engine->ponderMode.load(), PonderOn);
    ASSERT_EQ(f.engine->history->count, 1u) << "go " << i;
    UndoMove(f.engine->history);
  }
}

class CountingListener final : public PVListener {
 public:
  void onNewPV(const PVLine*, i32) override {}
};

TEST_F(WorkerTest, ASixthListenerIsRefused) {
  EngineFixture& f = start(nullptr);
  CountingListener listeners[6];
  for (int i = 0; i < 5; ++i) EXPECT_TRUE(RegisterListener(f.engine, &listeners[i]));
  EXPECT_FALSE(RegisterListener(f.engine, &listeners[5]));
  EXPECT_EQ(f.engine->listenerCount, 5);
  EXPECT_EQ(f.engine->listeners[4], &listeners[4]);
}

}  // namespace
