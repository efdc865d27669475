// The console tools' test bench: an engine with a protocol that records its lines, the two
// console streams captured in files, and fixture files in the test's temporary folder.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

#include <unistd.h>

#include "board/fen.h"
#include "config/params.h"
#include "protocol/silent_protocol.h"
#include "search/engine.h"
#include "search/history_table.h"
#include "search/transposition_table.h"
#include "tools/console_commands.h"

namespace console_testing {

class RecordingProtocol final : public SilentProtocol {
 public:
  std::vector<std::string> lines;
  void writeLine(const std::string& text) override { lines.push_back(text); }
};

// One of the console's streams redirected to a file for the life of the object.
class CapturedStream {
 public:
  explicit CapturedStream(std::FILE** stream) : stream_(stream), saved_(*stream) {
    file_ = std::tmpfile();
    *stream_ = file_;
  }
  ~CapturedStream() {
    *stream_ = saved_;
    std::fclose(file_);
  }
  CapturedStream(const CapturedStream&) = delete;
  CapturedStream& operator=(const CapturedStream&) = delete;

  // What was written since the last call.
  std::string take() {
    std::fflush(file_);
    std::fseek(file_, read_, SEEK_SET);
    std::string text;
    for (int c; (c = std::fgetc(file_)) != EOF;) text += static_cast<char>(c);
    read_ += static_cast<long>(text.size());
    return text;
  }

 private:
  std::FILE** stream_;
  std::FILE* saved_;
  std::FILE* file_;
  long read_ = 0;
};

// Searches use the material evaluation unless a test loads a network.
class ConsoleFixture : public ::testing::Test {
 protected:
  RecordingProtocol protocol;
  Engine* engine = nullptr;
  CapturedStream out{&ProtocolOutput};
  CapturedStream err{&ConsoleDiagnostics};

  void SetUp() override {
    RegisterParams();
    material_only = 1;
    engine = new Engine(&protocol);
    protocol.engine = engine;
    protocol.dynamicTc.engine = engine;
    engine->timeController = &protocol.dynamicTc;
    engine->useTablebases = 0;
    TT.clear();
    ClearHistory();
  }

  void TearDown() override {
    delete engine;
    for (const std::string& path : files_) std::remove(path.c_str());
    RegisterParams();
  }

  // The command as the XBoard interpreter runs it: the worker stopped, thinkMutex held.
  void run(const std::string& word, const std::string& arguments = "") {
    StopSearch(engine);
    std::lock_guard<std::mutex> think(engine->thinkMutex);
    RunConsoleCommand(&protocol, word, arguments);
  }

  void setPosition(const char* fen) {
    ASSERT_TRUE(SetFen(engine->board, fen)) << fen;
    engine->history->count = 0;
  }

  // A file in the temporary folder with exactly this content, removed after the test; the
  // process id keeps test programs that run at once apart.
  std::string fixture(const std::string& name, const std::string& content) {
    std::string path = std::string(::testing::TempDir()) + "tervik_console_" +
                       std::to_string(::getpid()) + "_" + name;
    std::FILE* file = std::fopen(path.c_str(), "wb");
    EXPECT_NE(file, nullptr) << path;
    if (!file) return path;
    std::fwrite(content.data(), 1, content.size(), file);
    std::fclose(file);
    files_.push_back(path);
    return path;
  }

 private:
  std::vector<std::string> files_;
};

// The lines of a text, split after each "\n" (a "\r" before it stays in the line).
inline std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
    lines.push_back(text.substr(start, end - start));
  if (start < text.size()) lines.push_back(text.substr(start));
  return lines;
}

// Whether the text is the pattern, in which "#" stands for a printed number (padding blanks,
// an optional sign, digits) and every other character for itself.
inline bool MatchesPattern(const std::string& text, const std::string& pattern) {
  std::size_t t = 0;
  for (char p : pattern) {
    if (p != '#') {
      if (t >= text.size() || text[t] != p) return false;
      ++t;
      continue;
    }
    while (t < text.size() && text[t] == ' ') ++t;
    if (t < text.size() && (text[t] == '-' || text[t] == '+')) ++t;
    const std::size_t digits = t;
    while (t < text.size() && text[t] >= '0' && text[t] <= '9') ++t;
    if (t == digits) return false;
  }
  return t == text.size();
}

}  // namespace console_testing
