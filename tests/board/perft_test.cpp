// Perft counts, its edge depths, and the tervik-perft program's reports and exit status.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <sys/wait.h>

#include "board/perft.h"
#include "board_testing.h"

TEST(Perft, KnownCounts) {
  struct Case {
    const char* fen;
    u32 depth;
    u64 nodes;
  };
  const Case cases[] = {
      {StartFen, 1, 20},
      {StartFen, 2, 400},
      {StartFen, 3, 8902},
      {"r3kb1r/pp2pppp/3q4/3Pn3/6b1/2N1BN2/PP3PPP/R2QKB1R w KQkq - 0 1", 4, 3667710},
      {"3rnr1k/pp3ppp/4b3/2p1qNP1/P2pPR2/1P1P2Q1/2P3BP/5RK1 w - - 0 1", 4, 1649524},
      {"r3k2r/Pppp1ppp/1b3nbN/nP6/BBP1P3/q4N2/Pp1P2PP/R2Q1RK1 w kq - 0 1", 3, 9467},
      {"7k/6Q1/6K1/8/8/8/8/8 b - - 0 1", 3, 0},  // mate
      {"7k/5Q2/6K1/8/8/8/8/8 b - - 0 1", 3, 0},  // stalemate
  };
  for (const Case& c : cases) {
    LoadedBoard board(c.fen);
    EXPECT_EQ(Perft(board.get(), c.depth), c.nodes) << c.fen << " depth " << c.depth;
  }
}

TEST(Perft, LeavesTheBoardAsItWas) {
  LoadedBoard board("r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1");
  Board before = board.board;
  EXPECT_EQ(Perft(board.get(), 3), 97862u);
  EXPECT_EQ(std::memcmp(&before, &board.board, sizeof(Board)), 0);
}

TEST(Perft, DepthsOutsideTheListsDoNotRecurse) {
  LoadedBoard board(StartFen);
  EXPECT_EQ(Perft(board.get(), 0), 1u);
  EXPECT_EQ(Perft(board.get(), PerftMaxDepth + 1), 0u);
  EXPECT_EQ(Perft(board.get(), 0xffffffffu), 0u);
}

namespace {

struct ToolRun {
  int status;
  std::string output;
};

ToolRun RunPerftTool(const std::string& arguments) {
  std::string command = std::string(TERVIK_BINARY_DIR) + "/tervik-perft " + arguments + " 2>&1";
  ToolRun run{-1, ""};
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return run;
  char buffer[512];
  while (fgets(buffer, sizeof(buffer), pipe)) run.output += buffer;
  int status = pclose(pipe);
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

std::string WriteFile(const char* name, const char* text) {
  std::string path = ::testing::TempDir() + name;
  std::ofstream(path) << text;
  return path;
}

}  // namespace

TEST(PerftTool, ReportsEveryDepthAndTheTotals) {
  std::string path = WriteFile("tervik-perft-good.epd",
                               "# a comment\n"
                               "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1 ;D1 20 ;D2 400 ;D3 8902\r\n"
                               "\n"
                               "4k3/8/8/8/8/8/8/4K2R w K - 0 1 ;D1 15 ;D2 66\n");
  ToolRun run = RunPerftTool(path);
  EXPECT_EQ(run.status, 0) << run.output;
  EXPECT_NE(run.output.find(";D1 20 ok ;D2 400 ok ;D3 8902 ok"), std::string::npos) << run.output;
  EXPECT_NE(run.output.find("2 passed, 0 failed, 9403 nodes"), std::string::npos) << run.output;

  ToolRun limited = RunPerftTool(path + " 1");
  EXPECT_EQ(limited.status, 0);
  EXPECT_EQ(limited.output.find(";D2"), std::string::npos) << limited.output;
  EXPECT_NE(limited.output.find("35 nodes"), std::string::npos) << limited.output;
}

TEST(PerftTool, FailsOnAWrongCountOrAnUnreadableLine) {
  ToolRun wrong = RunPerftTool(WriteFile("tervik-perft-wrong.epd",
                                     "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1 ;D1 20 ;D2 401\n"));
  EXPECT_EQ(wrong.status, 1);
  EXPECT_NE(wrong.output.find(";D2 400 FAIL expected 401 got 400"), std::string::npos) << wrong.output;
  EXPECT_NE(wrong.output.find("0 passed, 1 failed"), std::string::npos) << wrong.output;

  const char* unreadable[] = {
      "4k3/8/8/8/8/8/8/4K2R w K - 0 1\n",                      // no counts
      "4k3/8/8/8/8/8/8/4K2R w K - 0 1 ;D1 x\n",                // no number
      "4k3/8/8/8/8/8/8/4K2R w K - 0 1 ;D15 1\n",               // too deep
      "4k3/8/8/8/8/8/8/4K2X w K - 0 1 ;D1 15\n",               // bad FEN
  };
  for (const char* line : unreadable) {
    std::string text = std::string("4k3/8/8/8/8/8/8/4K2R w K - 0 1 ;D1 15\n") + line;
    ToolRun run = RunPerftTool(WriteFile("tervik-perft-bad.epd", text.c_str()));
    EXPECT_EQ(run.status, 1) << line;
    EXPECT_NE(run.output.find("tervik-perft-bad.epd:2:"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("1 passed, 1 failed"), std::string::npos) << run.output;
  }
  EXPECT_EQ(RunPerftTool(::testing::TempDir() + "no-such-file.epd").status, 1);
}

TEST(PerftTool, SinglePositionAndBadArguments) {
  ToolRun one = RunPerftTool("--fen \"4k3/8/8/8/8/8/8/4K2R w K - 0 1\" 2");
  EXPECT_EQ(one.status, 0);
  EXPECT_EQ(one.output.substr(0, 3), "66\n") << one.output;
  EXPECT_EQ(RunPerftTool("--fen \"4k3/8/8/8/8/8/8/4K2R w K - 0 1\" 0").output.substr(0, 2), "1\n");
  EXPECT_EQ(RunPerftTool("--fen \"8/8/8 w - - 0 1\" 2").status, 1);
  const char* bad[] = {"", "--fen", "--fen x", "--fen \"4k3/8/8/8/8/8/8/4K2R w K - 0 1\" 15",
                       "--fen \"4k3/8/8/8/8/8/8/4K2R w K - 0 1\" -1", "file.epd 0", "file.epd 15",
                       "file.epd 3x", "--depth 3"};
  for (const char* arguments : bad) {
    ToolRun run = RunPerftTool(arguments);
    EXPECT_EQ(run.status, 2) << arguments;
    EXPECT_NE(run.output.find("usage: tervik-perft"), std::string::npos) << arguments;
  }
}
