// The UCI session fixture: the real program started in a folder of its own and driven through
// pipes, with the board code as the judge of its answers.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "board/board_testing.h"
#include "protocol/engine_process.h"

#if defined(__SANITIZE_THREAD__)
// ThreadSanitizer takes about 15 s on a quiet machine to allocate and clear a table of 1 GB:
// its build sizes one where a test is about that size, and no more.
constexpr bool QuickLargeTables = false;
#else
constexpr bool QuickLargeTables = true;
#endif

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr int Rounds = 4;  // the slower builds repeat the loops less often
constexpr int AnswerBoundMs = 3000;
constexpr int ResizeBoundMs = 180000;
#else
constexpr int Rounds = 1;
// An answer later than this is a hang, not a busy machine's scheduling: the milliseconds
// themselves are measured by bench-uci_latency.
constexpr int AnswerBoundMs = 1000;
// The bound of uciok and readyok, which may follow the sizing of a table of 1 GB.
constexpr int ResizeBoundMs = 20000;
#endif

inline std::string BestMoveOf(const std::string& line) {
  std::size_t start = line.find(' ') + 1;
  std::size_t end = line.find(' ', start);
  return line.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

class UciSession : public ::testing::Test {
 protected:
  void SetUp() override { start(); }
  void TearDown() override { expectNoSanitizerReport(); }

  void start(const std::string& extraIni = "") {
    expectNoSanitizerReport();
    engine.reset();
    folder = std::make_unique<EngineFolder>(extraIni);
    engine = std::make_unique<EngineProcess>(folder->path());
    ASSERT_TRUE(engine->running());
    handshake.clear();
    engine->sendLine("uci");
    ASSERT_TRUE(engine->readUntil("uciok", ResizeBoundMs, nullptr, &handshake))
        << engine->errorOutput();
    ready();
  }

  void ready() {
    engine->sendLine("isready");
    ASSERT_TRUE(engine->readUntil("readyok", ResizeBoundMs, nullptr)) << engine->errorOutput();
  }

  // The bestmove of the running search, with every line before it.
  EngineLine bestMove(int timeoutMs, std::vector<EngineLine>* seen = nullptr) {
    EngineLine line{"", 0};
    EXPECT_TRUE(engine->readUntil("bestmove", timeoutMs, &line, seen)) << engine->errorOutput();
    return line;
  }

  // No further bestmove: the next readyok comes first.
  void expectNoMoreBestMoves() {
    engine->sendLine("isready");
    std::vector<EngineLine> seen;
    ASSERT_TRUE(engine->readUntil("readyok", 20000, nullptr, &seen));
    for (const EngineLine& line : seen) EXPECT_NE(line.text.rfind("bestmove", 0), 0u) << line.text;
  }

  // In the sanitizer builds the engine reports a fault on its standard error (and, with
  // halt_on_error, ends at once): once it has ended, its report fails the test that caused it.
  void expectNoSanitizerReport() {
    if (!engine) return;
    engine->sendLine("quit");
    engine->waitForExit(ResizeBoundMs);
    const std::string errors = engine->errorOutput();
    for (const char* mark : {"WARNING: ThreadSanitizer", "ERROR: AddressSanitizer",
                             "ERROR: LeakSanitizer", "runtime error:"})
      EXPECT_EQ(errors.find(mark), std::string::npos) << errors;
  }

  std::unique_ptr<EngineFolder> folder;
  std::unique_ptr<EngineProcess> engine;
  std::vector<EngineLine> handshake;
};
