// The UCI interpreter in process: word functions, score texts, what "position", "go" and
// "setoption" set on the engine, and the report lines' formats.
#include <gtest/gtest.h>

#include "board/board_testing.h"
#include "board/fen.h"
#include "board/notation.h"
#include "config/params.h"
#include "protocol/captured_lines.h"
#include "protocol/command_loop.h"
#include "protocol/uci.h"
#include "search/engine.h"
#include "search/history_table.h"
#include "protocol/table_settings.h"
#include "tablebase/block_cache.h"
#include "tablebase/probe.h"
#include "tablebase/registration.h"
#include "tablebase/tb_file_support.h"
#include "tablebase/tb_fixtures.h"

namespace {

TEST(UciWords, TokenAfterAndIntAfter) {
  struct Case {
    const char* key;
    const char* text;
    const char* token;
    i32 number;
  } cases[] = {
      {"wtime", "wtime 300 btime 200", "300", 300},
      {"btime", "wtime 300 btime 200", "200", 200},
      {"winc", "wtime 300 btime 200", "", -1},
      {"time", "movetime 250", "250", 250},  // found inside a longer word
      {"depth", "depth", "", -1},
      {"depth", "depth ", "", -1},
      {"depth", "depth x9", "x9", 0},
      {"wtime", "wtime -1", "-1", -1},
      {"wtime", "wtime 99999999999", "99999999999", 2147483647},
      {"wtime", "wtime -99999999999", "-99999999999", -2147483647 - 1},
      {"name", "name Clear Hash", "Clear", 0},
      {"value", "name NalimovPath value /a b/c", "/a", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.key) + " in " + c.text);
    EXPECT_EQ(TokenAfter(c.key, c.text), c.token);
    EXPECT_EQ(IntAfter(c.key, c.text), c.number);
  }
}

TEST(UciWords, ScoresInTheMateBandAreMateDistances) {
  // The band starts at MateBandScore itself, as in the XBoard lines.
  struct Case {
    i32 score;
    const char* text;
  } cases[] = {{29999, " score mate 1"},   {29997, " score mate 2"},     {-29998, " score mate -1"},
               {29600, " score mate 200"}, {-29600, " score mate -200"}, {29599, " score cp 29599"},
               {-29599, " score cp -29599"}, {29601, " score mate 200"}, {-30000, " score mate 0"},
               {0, " score cp 0"},         {-1, " score cp -1"}};
  for (const Case& c : cases) EXPECT_EQ(UciScore(c.score), c.text) << c.score;
}

TEST(UciWords, HashIsHeldToItsListedRangeBeforeTheTableRule) {
  struct Case {
    i64 megabytes;
    unsigned log2Count;  // buckets of 32 bytes: 2^15 is 1 MB, 2^25 is 1 GB
  } cases[] = {{-5, 15},   {0, 15},    {1, 15},    {64, 21},   {100, 21},  {1023, 24},
               {1024, 25}, {1025, 25}, {2048, 25}, {3000, 25}, {4096, 25}, {4100, 25},
               {5000, 25}, {8191, 25}, {i64{1} << 40, 25}};
  for (const Case& c : cases) EXPECT_EQ(HashTableLog2Count(c.megabytes), c.log2Count) << c.megabytes;
}

TEST(UciWords, ClockBudgetKeepsAReserve) {
  struct Case {
    i32 clock, budget;
  } cases[] = {{60000, 59950}, {1000, 950}, {100, 50}, {60, 30}, {1, 1}, {0, 0}, {-1, -1}, {-80, -80}};
  for (const Case& c : cases) EXPECT_EQ(ClockBudget(c.clock), c.budget) << c.clock;
}

TEST(UciWords, MoveTimeBudgetStopsBeforeTheTime) {
  for (i32 t : {0, 1, 2, 10, 50, 100, 1000, 10000, 100000}) {
    i32 budget = MoveTimeBudget(t);
    EXPECT_GE(budget, 1) << t;
    if (t > 6) {
      EXPECT_LT(budget, t) << t;
    }
    if (t >= 100) {
      EXPECT_GE(budget, t * 8 / 10) << t;
    }
  }
}

// A UciGUI with its engine, output captured in a temporary file.
class UciFront : public ::testing::Test {
 protected:
  void SetUp() override {
    RegisterParams();
    out = std::tmpfile();
    savedOutput = ProtocolOutput;
    ProtocolOutput = out;
    uci.engine = new Engine(&uci);
    uci.ponderAllowed = 1;
    uci.multiPvCount = 1;
    engine = uci.engine;
    engine->timeController = &uci.dynamicTc;
    uci.dynamicTc.engine = engine;
  }
  void TearDown() override {
    delete engine;
    ProtocolOutput = savedOutput;
    std::fclose(out);
    RegisterParams();
  }
  // The lines written since the last call.
  std::vector<std::string> lines() { return LinesSince(out, &readSoFar); }
  void command(const std::string& line) { ASSERT_TRUE(uci.handleCommand(line)); }
  std::string fen() {
    std::lock_guard<std::mutex> lock(engine->thinkMutex);
    return GetFen(engine->board);
  }

  UciGUI uci;
  Engine* engine = nullptr;
  std::FILE* out = nullptr;
  std::FILE* savedOutput = nullptr;
  std::size_t readSoFar = 0;
};

TEST_F(UciFront, PositionCommands) {
  command("position startpos moves e2e4 e7e5");
  EXPECT_EQ(engine->history->count, 2u);
  EXPECT_EQ(fen(), "rnbqkbnr/pppp1ppp/8/4p3/4P3/8/PPPP1PPP/RNBQKBNR w KQkq e6 0 2");
  command("position startpos moves");
  EXPECT_EQ(engine->history->count, 0u);
  EXPECT_EQ(fen(), StartFen);

  HistoryTable[2][5] = 9;
  HistoryMax = 9;
  command("position fen 4k3/8/8/8/8/8/4P3/4K3 w - - 3 40 moves e2e4");
  EXPECT_EQ(fen(), "4k3/8/8/8/4P3/8/8/4K3 b - e3 0 40");
  EXPECT_EQ(engine->history->count, 1u);
  EXPECT_EQ(HistoryTable[2][5], 0u) << "a new position clears the history table";
  EXPECT_EQ(HistoryMax, 0u);

  command("position debug");
  EXPECT_EQ(engine->history->count, 64u);
  EXPECT_EQ(engine->history->entries[63].move, Mv("a6e2"));
  EXPECT_TRUE(lines().empty()) << "position writes nothing when all is well";
}

TEST_F(UciFront, RefusedPositionsAndMovesAreReportedAndChangeNothingWrong) {
  command("position startpos moves e2e4");
  std::string before = fen();
  command("position fen rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBN w KQkq - 0 1 moves e7e5");
  EXPECT_EQ(fen(), before) << "the previous position stays, its moves are not played";
  EXPECT_EQ(engine->history->count, 1u);
  std::vector<std::string> written = lines();
  ASSERT_EQ(written.size(), 1u);
  EXPECT_EQ(written[0].rfind("info string ", 0), 0u) << written[0];

  command("position startpos moves e2e4 e2e4 h7h5 zz");
  EXPECT_EQ(engine->history->count, 2u);
  written = lines();
  ASSERT_EQ(written.size(), 1u);
  EXPECT_EQ(written[0], "info string Illegal or unreadable moves skipped: e2e4 zz");
}

TEST_F(UciFront, GoPicksTheControllerAndItsLimits) {
  struct Case {
    const char* line;
    bool black;
    TimeController* controller;
    i64 time;  // the chosen controller's time; 0: not checked
    i32 increment, movesToGo, maxDepth;
    u8 analysing;
  } cases[] = {
      {"go depth 5", false, &uci.unlimitedTc, 0, 0, 0, 5, 0},  // no clock: the depth ends it
      {"go depth 5 wtime 8000", false, &uci.dynamicTc, 7950, 0, 0, 5, 0},
      {"go movetime 1000", false, &uci.fixedTc, MoveTimeBudget(1000), 0, 0, 59, 0},
      {"go infinite", false, &uci.unlimitedTc, 0, 0, 0, 59, 1},
      {"go mate 3", false, &uci.unlimitedTc, 0, 0, 0, 59, 1},
      {"go wtime 60000 btime 30000", true, &uci.dynamicTc, 29950, 0, 0, 59, 0},
      {"go wtime 60000 btime 30000 winc 500 binc 700 movestogo 12", false, &uci.dynamicTc, 59950, 500, 12, 59, 0},
      {"go wtime 60000 btime 30000 winc 500 binc 700", true, &uci.dynamicTc, 29950, 700, 0, 59, 0},
      {"go btime 20000", false, &uci.dynamicTc, 29950, 0, 0, 59, 0},  // white's clock absent: kept
      {"go wtime -1 btime 5", false, &uci.dynamicTc, -1, 0, 0, 59, 0},
      {"go depth 500", false, &uci.unlimitedTc, 0, 0, 0, 59, 0},
      {"go depth 0", false, &uci.unlimitedTc, 0, 0, 0, 1, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    command(c.black ? "position startpos moves e2e4" : "position startpos");
    command(c.line);
    command("stop");
    std::lock_guard<std::mutex> lock(engine->thinkMutex);
    EXPECT_EQ(engine->timeController, c.controller);
    if (c.time) {
      EXPECT_EQ(c.controller->time, c.time);
    }
    EXPECT_EQ(uci.increment(), c.increment);
    EXPECT_EQ(uci.movesToGo(), c.movesToGo);
    EXPECT_EQ(engine->maxDepth, c.maxDepth);
    EXPECT_EQ(engine->analysing, c.analysing);
  }
}

TEST_F(UciFront, EveryGoGetsOneBestMove) {
  for (const char* go : {"go depth 1", "go movetime 20", "go infinite", "go ponder movetime 20"}) {
    SCOPED_TRACE(go);
    command("position startpos");
    lines();
    command(go);
    command("stop");
    int bestMoves = 0;
    for (const std::string& line : lines()) bestMoves += line.rfind("bestmove ", 0) == 0;
    EXPECT_EQ(bestMoves, 1);
  }
}

TEST_F(UciFront, SetOptionByName) {
  command("setoption name MultiPV value 50");
  EXPECT_EQ(uci.multiPvCount, 20u) << "held to the listed 1..20";
  command("setoption name MultiPV value 0");
  EXPECT_EQ(uci.multiPvCount, 1u);
  command("setoption name resign value 500");
  EXPECT_EQ(resign.load(), 500);
  command("setoption name Hash value 16");
  EXPECT_EQ(Hash.load(), 64) << "Hash acts on the table, not on its parameter";
  command("setoption name NalimovCache value 16");
  EXPECT_EQ(NalimovCache.load(), 4);
  command("setoption name UseNalimov value false");
  EXPECT_EQ(engine->useTablebases, 0);
  command("setoption name UseNalimov value true");
  EXPECT_EQ(engine->useTablebases, 1);
  command("setoption name book_random value true");
  EXPECT_EQ(book_random.load(), 1);
  command("setoption name ms_prune_first value 0");
  EXPECT_EQ(ms_prune_first.load(), 1) << "held to the listed minimum";
  command("setoption name resign value 9000");
  EXPECT_EQ(resign.load(), 3000);
  command("setoption name nosuchoption value 3");
  command("setoption name Logfile value x.log");
  EXPECT_TRUE(lines().empty()) << "setoption writes nothing";
}

TEST_F(UciFront, ReportLineFormats) {
  PVLine pv{};
  pv.length = 3;
  pv.moves[0] = Mv("e2e4");
  pv.moves[1] = Mv("e7e5");
  pv.moves[2] = Mv("g1f3");
  pv.score = 25;
  engine->timeController->startMs = NowMs();
  uci.sendPV(12, 3, 5, 999, 83250, 3, 0, &pv);
  EXPECT_TRUE(lines().empty()) << "a quiet start: under 1000 nodes within the first second";
  uci.sendPV(1234, 5, 7, 123456, 100045, 3, 0, &pv);
  pv.score = -29996;
  uci.sendPV(1500, 6, 9, 5000000000ull, 7, 3, 2, &pv);
  std::vector<std::string> written = lines();
  ASSERT_EQ(written.size(), 2u);
  EXPECT_EQ(written[0], "info time 1234 depth 5 seldepth 7 nodes 123456 nps 100045 tbhits 0 score cp 25 pv e2e4 e7e5 g1f3");
  EXPECT_EQ(written[1], "info time 1500 depth 6 seldepth 9 nodes 5000000000 nps 7 tbhits 0 score mate -2 multipv 2 pv e2e4 e7e5 g1f3");

  uci.ponderAllowed = 0;
  uci.sendInfo("hello %d");
  {
    std::lock_guard<std::mutex> lock(engine->thinkMutex);
    engine->depthReached = 4;
    engine->selDepth = 6;
    uci.sendBestMove(Mv("e7e8q"), Mv("a2a1n"));
    uci.sendBestMove(Mv("e2e4"), 0);
  }
  written = lines();
  ASSERT_EQ(written.size(), 5u);
  EXPECT_EQ(written[0], "info string hello %d");
  EXPECT_EQ(written[1].rfind("info depth 4 seldepth 6 time ", 0), 0u) << written[1];
  EXPECT_NE(written[1].find(" nodes 0 nps 0"), std::string::npos) << written[1];
  EXPECT_EQ(written[2], "bestmove e7e8q ponder a2a1n");
  EXPECT_EQ(written[4], "bestmove e2e4");
}

TEST_F(UciFront, ABoundIsNamedRightAfterTheScore) {
  PVLine pv{};
  pv.length = 2;
  pv.moves[0] = Mv("d2e2");
  pv.moves[1] = Mv("e1g2");

  // A line the quiet start keeps back keeps its bound when the move's report writes it.
  uci.ponderAllowed = 0;
  engine->timeController->startMs = NowMs();
  pv.score = 40;
  uci.sendPV(3, 2, 2, 60, 20000, 2, 0, &pv);
  EXPECT_TRUE(lines().empty());
  {
    std::lock_guard<std::mutex> lock(engine->thinkMutex);
    uci.sendBestMove(Mv("d2e2"), Mv("e1g2"));
  }
  std::vector<std::string> written = lines();
  ASSERT_EQ(written.size(), 3u);
  EXPECT_EQ(written[0], "info time 3 depth 2 seldepth 2 nodes 60 nps 20000 tbhits 0 score cp 40 lowerbound pv d2e2 e1g2");
  EXPECT_EQ(written[2], "bestmove d2e2 ponder e1g2");

  struct Case {
    i32 score, boundKind, multiPvIndex;
    const char* tail;  // the line from its score on
  } cases[] = {
      {29727, 2, 0, " score mate 137 lowerbound pv d2e2 e1g2"},
      {29737, 1, 0, " score mate 132 upperbound pv d2e2 e1g2"},
      {29995, 3, 0, " score mate 3 pv d2e2 e1g2"},
      {35, 2, 2, " score cp 35 lowerbound multipv 2 pv d2e2 e1g2"},
      {-120, 1, 1, " score cp -120 upperbound multipv 1 pv d2e2 e1g2"},
      {-120, 3, 1, " score cp -120 multipv 1 pv d2e2 e1g2"},
  };
  engine->timeController->startMs = NowMs() - 2000;
  for (const Case& c : cases) {
    pv.score = c.score;
    uci.sendPV(2000, 4, 6, 50000, 25000, c.boundKind, c.multiPvIndex, &pv);
    written = lines();
    ASSERT_EQ(written.size(), 1u) << c.tail;
    EXPECT_EQ(written[0], std::string("info time 2000 depth 4 seldepth 6 nodes 50000 nps 25000 tbhits 0") + c.tail);
  }
}

TEST_F(UciFront, CurrentMovesAreAtLeast300MsApart) {
  engine->timeController->startMs = NowMs() - 2000;
  engine->frames[1].stats.ttHits = 3;
  engine->frames[2].stats.ttMisses = 1;
  uci.sendCurrMove(Mv("g1f3"), 2, 7, 9, 5000, 1000);
  uci.sendCurrMove(Mv("b1c3"), 3, 7, 9, 5100, 1000);
  std::vector<std::string> written = lines();
  ASSERT_EQ(written.size(), 1u);
  EXPECT_EQ(written[0], "info currmove g1f3 currmovenumber 2 depth 7 seldepth 9 nodes 5000 nps 1000 hashfull 600");
}

TEST_F(UciFront, TablebasesFromTheIniPathAndFromTheOption) {
  ScratchDirectory empty;
  ScratchDirectory tables;
  ASSERT_TRUE(TbWriteSolvedFiles(tables.path, TbRowOfName("kqk")));
  SetTablebaseCacheSize(NalimovCache.load());
  u32 entriesOfDefaultSize = TbCacheEntryCount;
  SetTablebaseCacheSize(0);

  // Start-up: no tables leaves tablebase use off; with tables the cache gets NalimovCache MB.
  std::snprintf(egtb_path, sizeof egtb_path, "%s", empty.path.c_str());
  InitTablebasesAtStartUp(engine);
  EXPECT_EQ(engine->useTablebases, 0);
  EXPECT_EQ(TablebaseMaxMen, 0);
  std::snprintf(egtb_path, sizeof egtb_path, "%s", tables.path.c_str());
  InitTablebasesAtStartUp(engine);
  EXPECT_EQ(engine->useTablebases, 1);
  EXPECT_EQ(TablebaseMaxMen, 3);
  EXPECT_EQ(TbCacheEntryCount, entriesOfDefaultSize);

  // The option: a path without tables keeps the flag as it is; one with tables sets it.
  command("setoption name UseNalimov value false");
  command("setoption name NalimovPath value " + empty.path);
  EXPECT_EQ(engine->useTablebases, 0);
  EXPECT_EQ(TablebaseMaxMen, 0);
  command("setoption name NalimovPath value " + tables.path + " ignored");
  EXPECT_EQ(engine->useTablebases, 1);
  EXPECT_EQ(TablebaseMaxMen, 3);
  // Cache sizes beyond the option's range are held to it.
  command("setoption name NalimovCache value 100000");
  u32 largest = TbCacheEntryCount;
  SetTablebaseCacheSize(128);
  EXPECT_EQ(largest, TbCacheEntryCount);
  command("setoption name NalimovCache value -5");
  EXPECT_EQ(TbCacheEntryCount, 0u);
  egtb_path[0] = '\0';
  SetTablebaseCacheSize(0);
  InitTablebases("");
  TablebaseMaxMen = 0;
}

}  // namespace
