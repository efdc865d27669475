// A Protocol that records what the worker reports, for the engine and time-control tests.
#pragma once

#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "board/board_testing.h"
#include "board/fen.h"
#include "board/movegen.h"
#include "board/notation.h"
#include "protocol/silent_protocol.h"
#include "search/engine.h"

namespace {

class StubProtocol final : public SilentProtocol {
 public:
  std::atomic<int> bestMoves{0};
  std::atomic<u32> lastBest{0};
  std::atomic<u32> lastPonder{0};
  std::atomic<bool> ponderEnabled{false};
  std::mutex resultsMutex;
  std::vector<i32> results;
  i32 movesToGoValue = 0;
  i32 incrementValue = 0;

  void sendBestMove(u32 move, u32 ponderMove) override {
    lastBest = move;
    lastPonder = ponderMove;
    bestMoves.fetch_add(1);
  }
  bool sendResult(i32 code) override {
    std::lock_guard<std::mutex> lock(resultsMutex);
    results.push_back(code);
    return false;
  }
  bool isPonderEnabled() override { return ponderEnabled.load(); }
  i32 movesToGo() override { return movesToGoValue; }
  i32 increment() override { return incrementValue; }

  std::vector<i32> resultsSoFar() {
    std::lock_guard<std::mutex> lock(resultsMutex);
    return results;
  }
};

// The protocol with its engine, the way the front ends set them up.
struct EngineFixture {
  StubProtocol protocol;
  Engine* engine;

  EngineFixture() {
    engine = new Engine(&protocol);
    protocol.engine = engine;
    protocol.dynamicTc.engine = engine;
    engine->timeController = &protocol.unlimitedTc;
  }
  ~EngineFixture() { delete engine; }

  // Loads a position while the worker is idle, as the protocols do.
  bool setPosition(const char* fen) {
    std::lock_guard<std::mutex> lock(engine->thinkMutex);
    engine->history->count = 0;
    return SetFen(engine->board, fen);
  }
};

// Waits (bounded) until the condition holds; the tests then assert it.
template <typename Condition>
inline bool WaitFor(Condition condition, int timeoutMs = 20000) {
  for (int waited = 0; waited < timeoutMs; ++waited) {
    if (condition()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return condition();
}

// Busy-waits, to vary where one thread's action lands in the other's.
inline void Spin(int microseconds) {
  auto until = std::chrono::steady_clock::now() + std::chrono::microseconds(microseconds);
  while (std::chrono::steady_clock::now() < until) {
  }
}

}  // namespace
