// The worker thread with the real Think against a recording protocol: construction, go, stop,
// quit, pondering, results after the engine's move, and go/stop races. Short searches (a
// small maxDepth) stand for searches that end by themselves, unlimited ones for searches that
// run until stopped.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <thread>

#include "board/fen.h"
#include "book/book.h"
#include "eval/network.h"
#include "search/history_table.h"
#include "search/pv_listener.h"
#include "search/stub_protocol.h"

namespace {

// The shipped network, so that the searches prefer sensible moves (a material win to a
// stalemate); loaded once per process.
void LoadShippedNetwork() {
  static bool loaded = [] {
    std::string path = std::string(TERVIK_SOURCE_DIR) + "/nets/gen0-material.nnue";
    return ReadNetwork(path.c_str(), &Network).status == 0;
  }();
  ASSERT_TRUE(loaded);
}

class WorkerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    LoadShippedNetwork();
    fixture = std::make_unique<EngineFixture>();
    engine = fixture->engine;
    protocol = &fixture->protocol;
  }

  // Starts a search: with depth 0 an unlimited one that runs until stopped.
  void go(i32 depth, i32 ponderMode = PonderOff) {
    engine->timeController = &protocol->unlimitedTc;
    engine->maxDepth = depth > 0 ? depth : DefaultMaxDepth;
    engine->ponderMode = ponderMode;
    WakeEngine(engine);
  }
  bool thinking() { return engine->threadState.load() == ThreadThinking; }

  std::unique_ptr<EngineFixture> fixture;
  Engine* engine = nullptr;
  StubProtocol* protocol = nullptr;
};

TEST_F(WorkerTest, ConstructionLinksTheFramesAndReturnsWithTheWorkerIdle) {
  fixture.reset();
  HistoryTable[3][5] = 7;
  HistoryMax = 7;
  fixture = std::make_unique<EngineFixture>();
  Engine* e = fixture->engine;
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
  {
    std::lock_guard<std::mutex> lock(engine->wakeMutex);
    engine->goFlag = 1;
  }
  StopSearch(engine);
  EXPECT_EQ(engine->goFlag, 0);
  EXPECT_EQ(engine->stopFlag.load(), 1);
  EXPECT_EQ(protocol->bestMoves.load(), 0);
}

TEST_F(WorkerTest, ASearchWithoutALinePlaysTheFirstLegalMove) {
  engine->maxDepth = 0;  // ends before its first iteration
  engine->timeController = &protocol->unlimitedTc;
  WakeEngine(engine);
  ASSERT_TRUE(WaitFor([&] { return protocol->bestMoves.load() == 1; }));
  std::lock_guard<std::mutex> lock(engine->thinkMutex);
  MoveList moves;
  moves.count = 0;
  Board start;
  SetFen(&start, StartFen);
  GenerateLegalMoves(&start, &moves);
  ASSERT_GT(moves.count, 0);
  GameHistory* history = engine->history;
  ASSERT_EQ(history->count, 1u);
  EXPECT_EQ(history->entries[0].move, moves.moves[0]);
  EXPECT_EQ(history->entries[0].engineMove, 1);
  EXPECT_EQ(history->entries[0].key, engine->board->key);
  EXPECT_EQ(protocol->lastBest.load(), moves.moves[0]);
  EXPECT_EQ(protocol->lastPonder.load(), 0u);
  EXPECT_EQ(engine->frames[0].line.length, 1);
}

TEST_F(WorkerTest, PlaysTheLineAndPredictsTheReplyWithoutPondering) {
  engine->timeController = &protocol->dynamicTc;
  engine->maxDepth = 3;
  WakeEngine(engine);
  ASSERT_TRUE(WaitFor([&] { return protocol->bestMoves.load() == 1; }));
  std::lock_guard<std::mutex> lock(engine->thinkMutex);
  const PVLine& line = engine->frames[0].line;
  ASSERT_GE(line.length, 2);
  EXPECT_EQ(protocol->lastBest.load(), line.moves[0]);
  EXPECT_EQ(protocol->lastPonder.load(), line.moves[1]);
  EXPECT_EQ(protocol->dynamicTc.predictedMove, line.moves[1]);
  EXPECT_EQ(engine->ponderMove, line.moves[1]);
  EXPECT_EQ(engine->ponderMode.load(), PonderOff);  // ponderAllowed is 0
  ASSERT_EQ(engine->history->count, 1u);
  EXPECT_EQ(engine->history->entries[0].move, line.moves[0]);
}

// The engine's own move, then a ponder search on the expected reply under way.
void StartPondering(Engine* engine, StubProtocol* protocol) {
  protocol->ponderAllowed = 1;
  protocol->ponderEnabled = true;
  engine->timeController = &protocol->unlimitedTc;
  engine->maxDepth = 3;
  WakeEngine(engine);
  ASSERT_TRUE(WaitFor([&] {
    return protocol->bestMoves.load() == 1 && engine->threadState.load() == ThreadThinking;
  }));
}

TEST_F(WorkerTest, PonderHitPlaysThePonderSearchsMove) {
  StartPondering(engine, protocol);
  u32 own = protocol->lastBest.load();
  u32 expected = protocol->lastPonder.load();
  ASSERT_NE(expected, 0u);
  protocol->ponderEnabled = false;  // no pondering after the next move
  engine->ponderMode = PonderOff;   // the opponent played the expected reply
  ASSERT_TRUE(WaitFor([&] { return protocol->bestMoves.load() == 2; }));
  std::lock_guard<std::mutex> lock(engine->thinkMutex);
  GameHistory* history = engine->history;
  ASSERT_EQ(history->count, 3u);
  EXPECT_EQ(history->entries[0].move, own);
  EXPECT_EQ(history->entries[0].engineMove, 1);
  EXPECT_EQ(history->entries[1].move, expected);
  EXPECT_EQ(history->entries[1].engineMove, 0);
  EXPECT_EQ(history->entries[2].move, protocol->lastBest.load());
  EXPECT_EQ(history->entries[2].engineMove, 1);
  EXPECT_EQ(engine->ponderMode.load(), PonderOff);
}

TEST_F(WorkerTest, StopDuringAPonderSearchDropsItAndTakesTheReplyBack) {
  StartPondering(engine, protocol);
  StopSearch(engine);
  std::lock_guard<std::mutex> lock(engine->thinkMutex);
  EXPECT_EQ(protocol->bestMoves.load(), 1);
  EXPECT_EQ(engine->ponderMode.load(), PonderAbandoned);
  GameHistory* history = engine->history;
  ASSERT_EQ(history->count, 1u);
  EXPECT_EQ(history->entries[0].move, protocol->lastBest.load());
  EXPECT_EQ(engine->board->key, history->entries[0].key);
}

TEST_F(WorkerTest, StopDuringItsOwnThinkCancelsThePonderThatWouldFollow) {
  protocol->ponderAllowed = 1;
  protocol->ponderEnabled = true;
  go(0);
  ASSERT_TRUE(WaitFor([&] { return thinking(); }));
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  StopSearch(engine);  // would wait for ever on an unstopped ponder search
  std::lock_guard<std::mutex> lock(engine->thinkMutex);
  EXPECT_EQ(protocol->bestMoves.load(), 1);
  EXPECT_NE(engine->ponderMode.load(), PonderOn);
  EXPECT_EQ(engine->history->count, 1u);
}

TEST_F(WorkerTest, StopAfterAnEndedSearchThatWaitsForPonderhitPlaysIt) {
  // UCI "go ponder": pondering without a pushed reply; the short search ends and waits until
  // "stop" ends the wait, then plays.
  go(2, PonderOn);
  ASSERT_TRUE(WaitFor([&] { return thinking(); }));
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_EQ(protocol->bestMoves.load(), 0);
  engine->ponderMode = PonderOff;
  StopSearch(engine);
  std::lock_guard<std::mutex> lock(engine->thinkMutex);
  EXPECT_EQ(protocol->bestMoves.load(), 1);
  EXPECT_EQ(engine->history->count, 1u);
}

TEST_F(WorkerTest, QuitDuringASearchEndsTheThread) {
  go(0);
  ASSERT_TRUE(WaitFor([&] { return thinking(); }));
  QuitEngine(engine);
  EXPECT_FALSE(engine->thread.joinable());
  EXPECT_EQ(protocol->bestMoves.load(), 1);
}

TEST_F(WorkerTest, APositionWithoutMovesIsReportedAndNothingIsPlayed) {
  ASSERT_TRUE(fixture->setPosition("k7/8/1Q6/8/8/8/8/7K b - - 0 1"));
  go(3);
  ASSERT_TRUE(WaitFor([&] { return !protocol->resultsSoFar().empty(); }));
  ASSERT_TRUE(WaitFor([&] { return engine->threadState.load() == ThreadIdle; }));
  std::lock_guard<std::mutex> lock(engine->thinkMutex);
  EXPECT_EQ(protocol->bestMoves.load(), 0);
  EXPECT_EQ(engine->history->count, 0u);
  EXPECT_EQ(protocol->resultsSoFar(), std::vector<i32>{ResultStalemate});
}

TEST_F(WorkerTest, ReportsMateAndStalemateAfterItsOwnMove) {
  struct Case {
    const char* fen;
    const char* move;
    i32 result;
  } cases[] = {
      // Fool's mate; a mate with the queen; the only move, which stalemates; a free queen
      // move that ends nothing.
      {"rnbqkbnr/pppp1ppp/8/4p3/6P1/5P2/PPPPP2P/RNBQKBNR b KQkq - 0 2", "d8h4", ResultBlackWins},
      {"k7/8/1K6/8/8/8/8/6Q1 w - - 0 1", "g1g8", ResultWhiteWins},
      {"8/8/1P6/4p3/4R3/7k/5Pp1/7K w - - 0 1", "h1g1", ResultStalemate},
      {"k7/8/8/1Q6/8/8/8/7K w - - 0 1", nullptr, 0},
  };
  int played = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.fen);
    ASSERT_TRUE(fixture->setPosition(c.fen));
    {
      std::lock_guard<std::mutex> results(protocol->resultsMutex);
      protocol->results.clear();
    }
    go(3);
    ++played;
    ASSERT_TRUE(WaitFor([&] { return protocol->bestMoves.load() == played; }));
    std::lock_guard<std::mutex> lock(engine->thinkMutex);
    if (c.move) {
      EXPECT_EQ(protocol->lastBest.load(), Mv(c.move));
    }
    std::vector<i32> results = protocol->resultsSoFar();
    if (c.result) {
      EXPECT_EQ(results, std::vector<i32>{c.result});
    } else {
      EXPECT_TRUE(results.empty());
    }
  }
}

TEST_F(WorkerTest, EveryStoppedGoReportsExactlyOneMove) {
  for (int i = 0; i < 400; ++i) {
    go(0);
    // Vary where the stop lands: before the worker wakes, as the search starts, while it runs.
    Spin((i % 7) * 200);
    StopSearch(engine);
    ASSERT_EQ(protocol->bestMoves.load(), i + 1) << "go " << i;
    std::lock_guard<std::mutex> lock(engine->thinkMutex);
    ASSERT_EQ(engine->history->count, 1u);
    UndoMove(engine->history);
  }
}

TEST_F(WorkerTest, StopsEndOwnSearchesAndPonderSearchesAlike) {
  protocol->ponderAllowed = 1;
  protocol->ponderEnabled = true;
  for (int i = 0; i < 200; ++i) {
    // Odd rounds: the own search ends by itself and the worker goes on to ponder.
    go(i % 2 ? 2 : 0);
    Spin((i % 11) * 300);
    StopSearch(engine);
    ASSERT_EQ(protocol->bestMoves.load(), i + 1) << "go " << i;
    std::lock_guard<std::mutex> lock(engine->thinkMutex);
    ASSERT_NE(engine->ponderMode.load(), PonderOn);
    ASSERT_EQ(engine->history->count, 1u) << "go " << i;
    UndoMove(engine->history);
  }
}

class CountingListener final : public PVListener {
 public:
  void onNewPV(const PVLine*, i32) override {}
};

TEST_F(WorkerTest, ASixthListenerIsRefused) {
  CountingListener listeners[6];
  for (int i = 0; i < 5; ++i) EXPECT_TRUE(RegisterListener(engine, &listeners[i]));
  EXPECT_FALSE(RegisterListener(engine, &listeners[5]));
  EXPECT_EQ(engine->listenerCount, 5);
  EXPECT_EQ(engine->listeners[4], &listeners[4]);
}

TEST_F(WorkerTest, ARemovedListenerLeavesTheOthersInOrder) {
  CountingListener listeners[4];
  for (CountingListener& listener : listeners) ASSERT_TRUE(RegisterListener(engine, &listener));
  EXPECT_TRUE(RemoveListener(engine, &listeners[1]));
  EXPECT_FALSE(RemoveListener(engine, &listeners[1]));
  EXPECT_TRUE(RemoveListener(engine, &listeners[3]));
  ASSERT_EQ(engine->listenerCount, 2);
  EXPECT_EQ(engine->listeners[0], &listeners[0]);
  EXPECT_EQ(engine->listeners[1], &listeners[2]);
  EXPECT_EQ(engine->listeners[2], nullptr);
  EXPECT_EQ(engine->listeners[3], nullptr);
  // The freed places take new listeners again, after the ones that stayed.
  EXPECT_TRUE(RegisterListener(engine, &listeners[1]));
  EXPECT_EQ(engine->listeners[2], &listeners[1]);
}

}  // namespace
