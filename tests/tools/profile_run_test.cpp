// "tervik -profile" as a program: the five perft checks, the benchmark with the node total of
// bench/expected-nodes (the benchmark of tervik-bench), exit status 0, standard input unread.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "board/fen.h"
#include "protocol/engine_process.h"
#include "tools/console_fixture.h"

namespace {

std::string FirstLineOf(const std::string& path, const std::string& prefix) {
  std::ifstream file(path);
  for (std::string line; std::getline(file, line);)
    if (line.rfind(prefix, 0) == 0) return line.substr(prefix.size());
  return "";
}

using console_testing::Lines;
using console_testing::MatchesPattern;

// A FEN line as the board writes it back.
bool IsFenLine(const std::string& line) {
  Board board;
  return !line.empty() && line.back() == '\r' && SetFen(&board, line.c_str()) &&
         GetFen(&board) + "\r" == line;
}

}  // namespace

TEST(ProfileRun, PerftChecksAndBenchmark) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
  GTEST_SKIP() << "the benchmark's depth-9 searches belong to the release build";
#endif
  const std::string source = TERVIK_SOURCE_DIR;
  const std::string network = FirstLineOf(source + "/tervik.ini", "nnue_path=");
  ASSERT_FALSE(network.empty());
  EngineFolder folder("nnue_path=" + source + "/" + network + "\n");
  // Standard input stays open and empty: a run that read it would never end.
  EngineProcess engine(folder.path(), {"-profile"});
  ASSERT_TRUE(engine.running());
  ASSERT_EQ(engine.waitForExit(300000), 0) << engine.errorOutput();
  EXPECT_TRUE(engine.drain(0).empty());

  std::vector<std::string> lines = Lines(engine.errorOutput());
  ASSERT_GE(lines.size(), 27u) << engine.errorOutput();
  lines.erase(lines.begin());  // the network's loaded message
  struct Check {
    const char* fen;
    int depth;
    int count;
  };
  const Check checks[] = {
      {"rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1", 5, 4865609},
      {"8/7p/5k2/5p2/p1p2P2/Pr1pPK2/1P1R3P/8 b - - 0 1", 6, 14084571},
      {"r3kb1r/pp2pppp/3q4/3Pn3/6b1/2N1BN2/PP3PPP/R2QKB1R w KQkq - 0 1", 4, 3667710},
      {"3rnr1k/pp3ppp/4b3/2p1qNP1/P2pPR2/1P1P2Q1/2P3BP/5RK1 w - - 0 1", 4, 1649524},
      {"8/1p6/p5R1/k7/Prpp4/K7/1NP5/8 w - - 0 1", 6, 3692355},
  };
  for (std::size_t i = 0; i < std::size(checks); ++i) {
    EXPECT_EQ(lines[2 * i], std::string(checks[i].fen) + "\r");
    const std::string count = "perft(" + std::to_string(checks[i].depth) + ") = " +
                              std::to_string(checks[i].count) + " in # ms OK\r";
    EXPECT_TRUE(MatchesPattern(lines[2 * i + 1], count)) << lines[2 * i + 1];
  }
  // The benchmark's positions as the board writes them back.
  for (std::size_t i = 10; i < 23; ++i) EXPECT_TRUE(IsFenLine(lines[i])) << lines[i];
  EXPECT_TRUE(MatchesPattern(lines[23], "time: \t # ms\r")) << lines[23];
  std::string expected;
  std::ifstream(source + "/bench/expected-nodes") >> expected;
  EXPECT_EQ(lines[24], "nodes: \t " + expected + "\r");
  EXPECT_TRUE(MatchesPattern(lines[25], "nps: \t #\r")) << lines[25];
  EXPECT_EQ(lines.size(), 26u) << engine.errorOutput();
}
