// "tervik -profile" as a program: the five perft checks, the benchmark with the node total of
// bench/expected-nodes (the benchmark of tervik-bench), exit status 0, standard input unread.
#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <string>
#include <vector>

#include "protocol/engine_process.h"

namespace {

std::string FirstLineOf(const std::string& path, const std::string& prefix) {
  std::ifstream file(path);
  for (std::string line; std::getline(file, line);)
    if (line.rfind(prefix, 0) == 0) return line.substr(prefix.size());
  return "";
}

std::vector<std::string> LinesOf(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
    lines.push_back(text.substr(start, end - start));
  return lines;
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

  std::vector<std::string> lines = LinesOf(engine.errorOutput());
  ASSERT_GE(lines.size(), 27u) << engine.errorOutput();
  lines.erase(lines.begin());  // the network's loaded message
  const std::vector<std::pair<int, int>> checks = {
      {5, 4865609}, {6, 14084571}, {4, 3667710}, {4, 1649524}, {6, 3692355}};
  for (std::size_t i = 0; i < checks.size(); ++i) {
    EXPECT_TRUE(std::regex_match(lines[2 * i], std::regex("[1-8/a-zA-Z]+ [wb] [-KQkq]+ - 0 1\r")))
        << lines[2 * i];
    const std::string count = "perft\\(" + std::to_string(checks[i].first) + "\\) = " +
                              std::to_string(checks[i].second) + " in [0-9]+ ms OK\r";
    EXPECT_TRUE(std::regex_match(lines[2 * i + 1], std::regex(count))) << lines[2 * i + 1];
  }
  for (std::size_t i = 10; i < 23; ++i)
    EXPECT_TRUE(std::regex_match(lines[i], std::regex("[1-8/a-zA-Z]+ [wb] [-KQkq]+ [-a-h1-8]+ 0 [0-9]+\r")))
        << lines[i];
  EXPECT_TRUE(std::regex_match(lines[23], std::regex("time: \t [0-9]+ ms\r"))) << lines[23];
  std::string expected;
  std::ifstream(source + "/bench/expected-nodes") >> expected;
  EXPECT_EQ(lines[24], "nodes: \t " + expected + "\r");
  EXPECT_TRUE(std::regex_match(lines[25], std::regex("nps: \t [0-9]+\r"))) << lines[25];
  EXPECT_EQ(lines.size(), 26u) << engine.errorOutput();
}
