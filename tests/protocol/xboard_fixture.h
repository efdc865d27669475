// An XBoardGUI with its engine in process, in a folder of its own (learning writes learn.book
// there), with its output captured: for the interpreter's and the worker's tests.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>
#include <unistd.h>

#include "board/board_testing.h"
#include "board/fen.h"
#include "board/notation.h"
#include "config/params.h"
#include "eval/network.h"
#include "protocol/captured_lines.h"
#include "protocol/command_loop.h"
#include "protocol/xboard.h"
#include "search/engine.h"

namespace {

namespace fs = std::filesystem;

class XBoardFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    static bool loaded = [] {
      std::string path = std::string(TERVIK_SOURCE_DIR) + "/nets/gen0-material.nnue";
      return ReadNetwork(path.c_str(), &Network).status == 0;
    }();
    ASSERT_TRUE(loaded);
    RegisterParams();
    old = fs::current_path();
    dir = fs::temp_directory_path() / ("tervik-xboard-" + std::to_string(::getpid()) + "-" +
                                       ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir);
    fs::create_directories(dir);
    fs::current_path(dir);
    out = std::tmpfile();
    savedOutput = ProtocolOutput;
    ProtocolOutput = out;
    gui = std::make_unique<XBoardGUI>();
    engine = gui->engine;
  }
  void TearDown() override {
    gui.reset();
    ProtocolOutput = savedOutput;
    std::fclose(out);
    fs::current_path(old);
    fs::remove_all(dir);
    RegisterParams();
  }
  // The lines written since the last call.
  std::vector<std::string> lines() { return LinesSince(out, &readSoFar); }
  void command(const std::string& line) { ASSERT_TRUE(gui->handleCommand(line)) << line; }
  // The commands, then the worker idle (its move played), then the lines they wrote.
  std::vector<std::string> session(std::initializer_list<std::string> commands) {
    for (const std::string& line : commands) command(line);
    waitIdle();
    return lines();
  }
  void waitIdle() {
    for (int i = 0; i < 20000 && engine->threadState.load() != ThreadIdle; ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ASSERT_EQ(engine->threadState.load(), ThreadIdle);
  }
  // Lines until one starts with the prefix (bounded); all of them, that one last.
  std::vector<std::string> linesUntil(const std::string& prefix, int timeoutMs = 20000) {
    std::vector<std::string> seen;
    for (int waited = 0; waited <= timeoutMs; ++waited) {
      for (const std::string& line : lines()) {
        seen.push_back(line);
        if (line.rfind(prefix, 0) == 0) return seen;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ADD_FAILURE() << "no line starting with " << prefix;
    return seen;
  }
  bool WaitForThinking() {
    for (int i = 0; i < 20000; ++i) {
      if (engine->threadState.load() == ThreadThinking) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return false;
  }
  // Waits (bounded) until the worker ponders on the reply it expects.
  bool pondering() {
    for (int i = 0; i < 20000; ++i) {
      if (engine->ponderMode.load() == PonderOn && engine->threadState.load() == ThreadThinking)
        return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return false;
  }
  std::string fen() {
    std::lock_guard<std::mutex> lock(engine->thinkMutex);
    return GetFen(engine->board);
  }

  std::unique_ptr<XBoardGUI> gui;
  Engine* engine = nullptr;
  std::FILE* out = nullptr;
  std::FILE* savedOutput = nullptr;
  std::size_t readSoFar = 0;
  fs::path old, dir;
};

}  // namespace
