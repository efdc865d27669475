// The solver's listeners fed one principal variation per iteration, and the solver on small
// files: the lines per position, the summary, the refusals, and the engine state a run leaves.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "console_fixture.h"
#include "search/transposition_table.h"
#include "search/time_controller.h"
#include "tools/solver.h"

namespace {

using console_testing::ConsoleFixture;
using console_testing::Lines;
using console_testing::MatchesPattern;

// A back-rank mate (solved at once, a final line), a queen blunder to avoid, and a king move
// that no search plays.
const char* const MateLine = "6k1/5ppp/8/8/8/8/8/R3K3 w - - bm Ra8#; id \"T1\";\n";
const char* const AvoidLine = "4k3/8/2p5/3p4/8/8/8/3QK3 w - - am Qxd5; id \"T2\";\n";
const char* const MissLine = "4k3/8/8/8/3q4/8/8/3RK3 w - - bm Ke2; id \"T3\";\n";

class Solver : public ConsoleFixture {
 protected:
  i64 solve(const std::string& path, bool pgnMode, int seconds) {
    StopSearch(engine);
    std::lock_guard<std::mutex> think(engine->thinkMutex);
    return SolveTestSuite(&protocol, path.c_str(), pgnMode, seconds);
  }
};

bool Has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

}  // namespace

TEST_F(Solver, EpdFile) {
  const std::string file = fixture("three.epd", std::string("# a comment\n") + MateLine + AvoidLine +
                                                    "8/8/8/8 w - - bm e4; id \"bad\";\n" +
                                                    "4k3/8/8/8/8/8/8/4K3 w - - c0 \"none\";\n" +
                                                    "4k3/8/8/8/8/8/8/4K3 w - - bm Kd2\n" + MissLine);
  run("solve", file + " 1");
  const std::string text = out.take();
  const std::string errors = err.take();

  EXPECT_FALSE(Has(text, "a comment"));
  EXPECT_TRUE(Has(text, std::string(MateLine) + " id \"T1\" (Ra8#) solved after 0 sec : a1a8 !\r\n\r\n"))
      << text;
  // Any move but the blunder solves it; a deep search may prefer a king move.
  const std::string avoided = std::string(AvoidLine) + " id \"T2\" (Qxd5) solved after 0 sec : ";
  const std::size_t avoid = text.find(avoided);
  ASSERT_NE(avoid, std::string::npos) << text;
  EXPECT_NE(text.substr(avoid + avoided.size(), 4), "d1d5") << text;
  // The seconds elapsed when the search ended: 1, or more on a busy machine.
  const std::size_t missed = text.find(std::string(MissLine) + "!!!  id \"T3\" (Ke2) not solved after ");
  ASSERT_NE(missed, std::string::npos) << text;
  EXPECT_TRUE(MatchesPattern(text.substr(missed + std::strlen(MissLine), 46), "!!!  id \"T3\" (Ke2) not solved after # sec.\r\n\r\n"))
      << text;
  // Lines that yield no position are echoed, then refused on the diagnostics stream.
  EXPECT_TRUE(Has(text, "8/8/8/8 w - - bm e4;"));
  EXPECT_TRUE(Has(errors, "Invalid FEN in line 4, position skipped: 8/8/8/8 w - - \r\n")) << errors;
  EXPECT_TRUE(Has(errors, "Tests other than \"am or bm\" not supported !\r\n")) << errors;
  EXPECT_TRUE(Has(errors, "\";\" expected !\r\n")) << errors;

  const std::string separator = "\r\n" + std::string(64, '=') + "\r\n";
  const std::size_t table = text.find(separator);
  ASSERT_NE(table, std::string::npos) << text;
  const std::vector<std::string> rows = Lines(text.substr(table + separator.size()));
  ASSERT_EQ(rows.size(), 21u) << text;
  const std::string pad(22, ' ');  // the names fill 8 of their 30 columns
  EXPECT_TRUE(MatchesPattern(rows[0], "  |  id \"T1\"" + pad + "|    0 |# |  1 | 29999\r")) << rows[0];
  // Solved from the start or from the line that turned away from Qxd5, in no time.
  EXPECT_EQ(rows[1].substr(0, 42), "  |  id \"T2\"" + pad + "|    0 |");
  EXPECT_TRUE(MatchesPattern(rows[2], "* |  id \"T3\"" + pad + "|    1 |        0 | -1 |#\r")) << rows[2];
  EXPECT_EQ(rows[3], "\r");
  EXPECT_EQ(rows[4], std::string(64, '=') + "\r");
  EXPECT_EQ(rows[5], "2/3 solved.\r");
  EXPECT_EQ(rows[6], "Not solved:  id \"T3\", \r");
  EXPECT_FALSE(Has(text, "nan")) << text;
  const char* const labels[] = {"Fail High after 1: ", "Beta Efficency   : ", "Qsearch          : ",
                                "Hash hit         : ", "PVS researchs    : ", "Full eval        : ",
                                "UnsortedMoves    : ", "Total nodes to solution: ",
                                "Total nodes            : ", "Total solution time    : ",
                                "Total time             : ", "Total NPS              : ",
                                "Node Types (Upper,Exact,Lower): ", "           ("};
  for (std::size_t i = 0; i < std::size(labels); ++i)
    EXPECT_EQ(rows[7 + i].rfind(labels[i], 0), 0u) << rows[7 + i];
  // The unsolved position's whole second, and the few milliseconds the others took.
  EXPECT_TRUE(MatchesPattern(rows[16], "Total solution time    : 1.# sek\r")) << rows[16];

  // The run leaves the dynamic controller active and the depth limit at 60.
  EXPECT_EQ(engine->timeController, &protocol.dynamicTc);
  EXPECT_EQ(engine->maxDepth, 60);
}

TEST_F(Solver, PgnTagFile) {
  const std::string file = fixture(
      "two.pgn",
      "[Event \"tactics\"]\n[White \"P1\"]\n[WhiteElo \"2700\"]\n[Black \"Rxd4\"]\n"
      "[BlackElo \"2600\"]\n[FEN \"4k3/8/8/8/3q4/8/8/3RK3 w - - 0 1\"]\n\n1-0\n\n"
      "[White \"P2\"]\r\n[FEN \"4k3/8/8/8/3q4/8/3R4/4K3 w - - 0 1\"]\r\n");
  EXPECT_EQ(solve(file, true, 1), 0);
  const std::string text = out.take();
  EXPECT_FALSE(Has(text, "[White")) << text;  // nothing is echoed
  EXPECT_TRUE(Has(text, "P1 (Rxd4) solved after 0 sec : d1d4 ")) << text;
  EXPECT_TRUE(Has(text, "P2 (Rxd4) solved after 0 sec : d2d4 ")) << text;
  EXPECT_TRUE(Has(text, "2/2 solved.\r\nNot solved: \r\n")) << text;
}

TEST_F(Solver, EmptyAndMissingFiles) {
  const std::string empty = fixture("empty.epd", "");
  EXPECT_EQ(solve(empty, false, 1), 0);
  const std::string separator = "\r\n" + std::string(64, '=') + "\r\n";
  EXPECT_EQ(out.take().rfind(separator + separator + "0/0 solved.\r\nNot solved: \r\n", 0), 0u);

  // A file that cannot be read, a folder too, leaves the engine's settings alone.
  engine->maxDepth = 12;
  for (const std::string& path : {std::string("/nonexistent/x.epd"), ::testing::TempDir()}) {
    EXPECT_EQ(solve(path, false, 1), -1) << path;
    EXPECT_EQ(err.take(), "Kann Datei " + path + " nicht laden !\r\n");
    EXPECT_EQ(out.take(), "");
    EXPECT_EQ(engine->timeController, &protocol.dynamicTc);
    EXPECT_EQ(engine->maxDepth, 12);
  }
}

// The run record holds 4000 rows: a longer file stops there. The mated position has no move
// to search, so each row is quick.
TEST_F(Solver, StopsAtTheRecordSize) {
  TT.resize(TTMinLog2Count);
  std::string content;
  for (int i = 0; i <= SolverPositionCapacity; ++i) content += "k7/1Q6/1K6/8/8/8/8/8 b - - bm Kb8;\n";
  const std::string file = fixture("many.epd", content);
  solve(file, false, 0);
  EXPECT_TRUE(Has(err.take(), "Only 4000 positions are run: the rest of " + file + " is skipped !\r\n"));
  EXPECT_TRUE(Has(out.take(), "\r\n0/4000 solved.\r\n"));
  TT.resize(TTStartLog2Count);
}

TEST(SolveFileNames, EpdByEnding) {
  struct Case {
    const char* name;
    bool epd;
  };
  for (const Case& c : {Case{"wac.epd", true}, Case{"WAC.EPD", true}, Case{".epd", true},
                        Case{"wac.Epd", false}, Case{"wac.pgn", false}, Case{"wac.txt", false},
                        Case{"epd", false}, Case{"ab", false}, Case{"", false}}) {
    EXPECT_EQ(IsEpdFileName(c.name), c.epd) << c.name;
  }
}

namespace {

constexpr u32 Solution = MakeMoveWord(12, 14);  // b5b7, only a word here
constexpr u32 Other = MakeMoveWord(8, 10);

struct Iteration {
  i32 depth;
  u32 firstMove;
  bool stopping;       // a stop is already under way
  i32 foundDepth;      // the listener's verdict afterwards
  bool stopsSearch;
};

class SolutionListeners : public ConsoleFixture {
 protected:
  void SetUp() override {
    ConsoleFixture::SetUp();
    engine->timeController = &protocol.fixedTc;
    protocol.fixedTc.time = 1000;
    protocol.fixedTc.start(0, 1, 0);
  }

  void feed(PVListener* listener, const i32* foundDepth, const std::vector<Iteration>& steps) {
    for (const Iteration& step : steps) {
      engine->depthReached = step.depth;
      engine->stopFlag = step.stopping ? 1 : 0;
      PVLine line{};
      line.moves[0] = step.firstMove;
      line.length = 1;
      listener->onNewPV(&line, 0);
      EXPECT_EQ(*foundDepth, step.foundDepth) << "depth " << step.depth;
      EXPECT_EQ(engine->stopFlag.load() != 0, step.stopping || step.stopsSearch)
          << "depth " << step.depth;
    }
  }
};

}  // namespace

TEST_F(SolutionListeners, BestMoveStopRules) {
  struct Case {
    const char* name;
    std::vector<Iteration> steps;
  };
  const std::vector<Case> cases = {
      {"found at 1 and kept: stops at 5",
       {{1, Solution, false, 1, false}, {2, Solution, false, 1, false},
        {4, Solution, false, 1, false}, {5, Solution, false, 1, true}}},
      {"found at 6: stops at 8",
       {{5, Other, false, -1, false}, {6, Solution, false, 6, false},
        {7, Solution, false, 6, false}, {8, Solution, false, 6, true}}},
      {"away and back: the later depth counts",
       {{3, Solution, false, 3, false}, {4, Other, false, -1, false},
        {6, Solution, false, 6, false}, {7, Solution, false, 6, false}}},
      {"a line cut short by the stop keeps the verdict",
       {{2, Solution, false, 2, false}, {3, Other, true, 2, false}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SolutionListener listener(engine);
    listener.solutions[0] = MakeMoveWord(1, 2);
    listener.solutions[1] = Solution;
    listener.solutionCount = 2;
    feed(&listener, &listener.foundDepth, c.steps);
  }
  // Without solution moves nothing ever matches.
  SolutionListener empty(engine);
  feed(&empty, &empty.foundDepth, {{1, EmptyMove, false, -1, false}, {6, Other, false, -1, false}});
}

TEST_F(SolutionListeners, AvoidMoveRules) {
  SolutionListenerAM never(engine, Solution);
  EXPECT_EQ(never.foundDepth, 0);
  // Not yet twice the controller's time: no early stop, however deep.
  feed(&never, &never.foundDepth, {{1, Other, false, 0, false}, {9, Other, false, 0, false}});
  EXPECT_EQ(never.foundTime, 0u);
  EXPECT_EQ(never.foundNodes, 0u);

  SolutionListenerAM turned(engine, Solution);
  feed(&turned, &turned.foundDepth, {{2, Solution, false, -1, false}, {4, Other, false, 4, false}});
  // Past twice the time, the verdict must also be three iterations old.
  protocol.fixedTc.time = 1;
  protocol.fixedTc.startMs = NowMs() - 10;
  feed(&turned, &turned.foundDepth, {{6, Other, false, 4, false}, {7, Other, false, 4, true}});
}
