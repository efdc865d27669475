// Protocol lines in and out, and the PV viewer's reports.
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <thread>

#include "protocol/command_loop.h"
#include "protocol/pv_viewer.h"
#include "protocol/silent_protocol.h"
#include "search/stub_protocol.h"

namespace {

// Output captured in a temporary file for the length of a test.
class CapturedOutput {
 public:
  CapturedOutput() : file_(std::tmpfile()), saved_(ProtocolOutput) { ProtocolOutput = file_; }
  ~CapturedOutput() {
    ProtocolOutput = saved_;
    std::fclose(file_);
  }
  std::string text() {
    std::fflush(file_);
    std::rewind(file_);
    std::string all;
    for (int c; (c = std::fgetc(file_)) != EOF;) all += static_cast<char>(c);
    return all;
  }

 private:
  std::FILE* file_;
  std::FILE* saved_;
};

std::vector<std::string> ReadAll(const std::string& input) {
  std::FILE* in = std::tmpfile();
  std::fwrite(input.data(), 1, input.size(), in);
  std::rewind(in);
  std::vector<std::string> lines;
  std::string line;
  while (ReadProtocolLine(in, &line)) lines.push_back(line);
  std::fclose(in);
  return lines;
}

TEST(ProtocolLines, AreReadWholeWithoutTheirLineEnd) {
  std::string longMoves = "position startpos moves";
  while (longMoves.size() < 30000) longMoves += " e2e4 e7e5";
  std::vector<std::string> expected = {"uci", "isready", "\n", "\n", "a\r", longMoves, "go", "tail"};
  std::string input = "uci\nisready\r\n\n\r\na\r\r\n" + longMoves + "\ngo\ntail";
  EXPECT_EQ(ReadAll(input), expected);
  EXPECT_TRUE(ReadAll("").empty());
  std::string withNul("ab\0cd\n", 6);
  EXPECT_EQ(ReadAll(withNul), std::vector<std::string>{std::string("ab\0cd", 5)});
}

TEST(ProtocolLines, AreWrittenAsTheyStand) {
  CapturedOutput out;
  WriteProtocolText("info %d %s");
  WriteProtocolLine(" 100%");
  WriteProtocolLine("");
  EXPECT_EQ(out.text(), "info %d %s 100%\n\n");
}

TEST(ProtocolLines, FromTwoThreadsNeverInterleave) {
  CapturedOutput out;
  std::string pv = "info time 5 depth 9 seldepth 14 nodes 123456 nps 999 tbhits 0 score cp 17 pv";
  for (int i = 0; i < 40; ++i) pv += " e2e4";
  std::thread worker([&] {
    for (int i = 0; i < 3000; ++i) WriteProtocolLine(i % 2 ? pv : "bestmove e2e4 ponder e7e5");
  });
  for (int i = 0; i < 3000; ++i) WriteProtocolLine("readyok");
  worker.join();
  std::set<std::string> allowed = {pv, "bestmove e2e4 ponder e7e5", "readyok"};
  std::string text = out.text();
  std::size_t start = 0, lines = 0;
  for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
    ASSERT_TRUE(allowed.count(text.substr(start, end - start))) << text.substr(start, end - start);
    ++lines;
  }
  EXPECT_EQ(lines, 6000u);
}

TEST(SearchFigures, NodesPerSecondSaturates) {
  EXPECT_EQ(NodesPerSecond(0, 0), 0);
  EXPECT_EQ(NodesPerSecond(5, 0), 2147483647);
  EXPECT_EQ(NodesPerSecond(1500, 3), 500000);
  EXPECT_EQ(NodesPerSecond(~0ull, 1), 2147483647);
  EXPECT_EQ(NodesPerSecond(0, 10), 0);
}

// Records what the viewer hands on.
class RecordingProtocol final : public SilentProtocol {
 public:

  struct Report {
    i64 timeMs;
    i32 depth, selDepth;
    u64 nodes;
    i32 nps, bound, index;
    PVLine line;
  };
  std::vector<Report> reports;
  void sendPV(i64 timeMs, i32 depth, i32 selDepth, u64 nodes, i32 nps, i32 bound, i32 index,
              const PVLine* pv) override {
    reports.push_back({timeMs, depth, selDepth, nodes, nps, bound, index, *pv});
  }
};

TEST(PVViewer, ReportsEachNewLineOrDepthOnceWithTheSearchFigures) {
  RecordingProtocol protocol;
  Engine engine(&protocol);
  protocol.engine = &engine;
  engine.timeController = &protocol.fixedTc;
  protocol.fixedTc.startMs = NowMs() - 50;
  std::lock_guard<std::mutex> lock(engine.thinkMutex);
  engine.frames[0].stats.nodes = 700;
  engine.frames[3].stats.nodes = 5000000000ull;
  engine.selDepth = 9;
  PVViewer viewer(&engine, &protocol);

  PVLine line{};
  line.length = 2;
  line.moves[0] = Mv("e2e4");
  line.moves[1] = Mv("e7e5");
  line.score = 31;
  struct Step {
    i32 depth;
    i32 score;
    const char* second;
    bool reported;
  } steps[] = {
      {1, 31, "e7e5", true}, {1, 31, "e7e5", false}, {2, 31, "e7e5", true},
      {2, 40, "e7e5", true}, {2, 40, "c7c5", true},  {2, 40, "c7c5", false},
  };
  size_t expected = 0;
  for (const Step& step : steps) {
    engine.depthReached = step.depth;
    line.score = step.score;
    line.moves[1] = Mv(step.second);
    viewer.onNewPV(&line, 0);
    expected += step.reported;
    ASSERT_EQ(protocol.reports.size(), expected) << step.depth << " " << step.score;
  }
  const RecordingProtocol::Report& last = protocol.reports.back();
  EXPECT_EQ(last.nodes, 5000000700ull);
  EXPECT_EQ(last.depth, 2);
  EXPECT_EQ(last.selDepth, 9);
  EXPECT_EQ(last.bound, 3);
  EXPECT_EQ(last.index, 0);
  EXPECT_GE(last.timeMs, 50);
  EXPECT_EQ(last.nps, NodesPerSecond(last.nodes, last.timeMs));
  EXPECT_EQ(last.line.moves[1], Mv("c7c5"));
}

}  // namespace
