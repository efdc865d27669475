// UCI sessions on option values outside their listed range: every number, from "setoption" and
// from tervik.ini, is held to the range "uci" lists, and Hash and NalimovCache above their
// maximum give the table and cache of the maximum, seen as the engine's address space in /proc.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

#include "protocol/uci_session.h"
#include "tablebase/tb_file_support.h"
#include "tablebase/tb_fixtures.h"
#include "tablebase/tb_positions.h"

namespace {

// A field of /proc/PID/status in kB ("VmSize"); -1 without it.
i64 StatusField(pid_t pid, const std::string& field) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  for (std::string line; std::getline(status, line);)
    if (line.rfind(field + ":", 0) == 0) return std::atoll(line.c_str() + field.size() + 1);
  return -1;
}

class UciTableSession : public UciSession {
 protected:
  // The engine's address space in MB once it has answered every command so far.
  i64 size() {
    ready();
    return StatusField(engine->pid(), "VmSize") / 1024;
  }
  i64 sizeAfter(const std::string& option, const std::string& value) {
    engine->sendLine("setoption name " + option + " value " + value);
    return size();
  }
  // What one more option takes beyond its smallest size.
  i64 growth(const std::string& option, const std::string& smallest, const std::string& value) {
    const i64 before = sizeAfter(option, smallest);
    return sizeAfter(option, value) - before;
  }
  void expectSearches() {
    engine->sendLine("position startpos");
    engine->sendLine("go depth 4");
    EXPECT_TRUE(GameBoard().answers(BestMoveOf(bestMove(20000).text)));
  }
};

// The table of 1 MB (Hash 1) grows to 1 GB; the cache of nothing (0) to 128 MB. The slack
// covers the allocator's alignment and bookkeeping, far below a step to another size.
constexpr i64 HashGrowthMb = 1023;
constexpr i64 CacheGrowthMb = 128;
constexpr i64 SlackMb = 40;

TEST_F(UciTableSession, OptionsAboveTheListedMaximumGiveTheMaximum) {
  struct Case {
    const char* option;
    const char* smallest;
    const char* value;
    i64 growthMb;
    bool everyBuild;  // else only where a table of 1 GB is quick to clear
  } cases[] = {
      {"Hash", "1", "1024", HashGrowthMb, false},
      {"Hash", "1", "2048", HashGrowthMb, false},
      {"Hash", "1", "4096", HashGrowthMb, true},
      {"Hash", "1", "5000", HashGrowthMb, false},
      {"Hash", "1", "99999999999", HashGrowthMb, false},
      {"Hash", "1", "64", 63, true},
      {"NalimovCache", "0", "128", CacheGrowthMb, true},
      {"NalimovCache", "0", "4096", CacheGrowthMb, true},
      {"NalimovCache", "0", "100000", CacheGrowthMb, true},
  };
  for (const Case& c : cases) {
    if (!QuickLargeTables && !c.everyBuild) continue;
    SCOPED_TRACE(std::string(c.option) + " " + c.value);
    const i64 grown = growth(c.option, c.smallest, c.value);
    EXPECT_GE(grown, c.growthMb);
    EXPECT_LE(grown, c.growthMb + SlackMb);
    expectSearches();
  }
}

TEST_F(UciTableSession, IniValuesAboveTheListedMaximumGiveTheMaximum) {
  // Two engines that differ only in the ini's sizes take the same memory: the one given more
  // than the maxima and the one given the maxima themselves.
  if (!QuickLargeTables) GTEST_SKIP() << "two tables of 1 GB; the option test sizes one";
  ScratchDirectory tables;
  ASSERT_TRUE(TbWriteSolvedFiles(tables.path, TbRowOfName("kqk")));
  const std::string folders = "egtb_path=" + tables.path + "\n";
  start("Hash=3000\nNalimovCache=100000\n" + folders);
  EXPECT_EQ(handshake[6].text, "option name Hash type spin default 1024 min 0 max  1024")
      << "the value stored is held to the range";
  const i64 aboveMaxima = size();
  start("Hash=1024\nNalimovCache=128\n" + folders);
  const i64 atMaxima = size();
  EXPECT_LE(std::abs(aboveMaxima - atMaxima), SlackMb) << aboveMaxima << " MB, " << atMaxima << " MB";
  expectSearches();
}

// Every spin line's default lies within its min and max; the line of each option by name.
std::map<std::string, std::string> CheckedSpinLines(const std::vector<EngineLine>& lines) {
  std::map<std::string, std::string> byName;
  for (const EngineLine& line : lines) {
    std::istringstream in(line.text);
    std::string option, nameWord, name, type, kind, defaultWord, minWord, maxWord;
    long value = 0, low = 0, high = 0;
    in >> option >> nameWord >> name >> type >> kind;
    if (option != "option" || kind != "spin") continue;
    byName[name] = line.text;
    if (name == "MultiPV") continue;  // its default comes after min and max
    in >> defaultWord >> value >> minWord >> low >> maxWord >> high;
    EXPECT_TRUE(low <= value && value <= high) << line.text;
  }
  return byName;
}

TEST_F(UciTableSession, NumbersOutsideTheirListedRangeAreHeldToIt) {
  start("resign=5000\next_check=-5\nms_prune_first=0\nnull_red_depth=200\n");
  std::map<std::string, std::string> lines = CheckedSpinLines(handshake);
  EXPECT_EQ(lines["resign"], "option name resign type spin default 3000 min 0 max  3000");
  EXPECT_EQ(lines["ext_check"], "option name ext_check type spin default 0 min 0 max  192");
  EXPECT_EQ(lines["ms_prune_first"], "option name ms_prune_first type spin default 1 min 1 max  40");
  EXPECT_EQ(lines["null_red_depth"], "option name null_red_depth type spin default 200 min 0 max  384");
  // One line for each value the ini gave outside its range, none for the others.
  const std::string errors = engine->errorOutput();
  for (const char* message : {"Parameter resign: 5000 is outside 0..3000, 3000 is used\r\n",
                              "Parameter ext_check: -5 is outside 0..192, 0 is used\r\n",
                              "Parameter ms_prune_first: 0 is outside 1..40, 1 is used\r\n"})
    EXPECT_NE(errors.find(message), std::string::npos) << errors;
  EXPECT_EQ(errors.find("null_red_depth"), std::string::npos) << errors;

  for (const char* option : {"resign value 9000", "egtb_depth value -3", "ms_prune value 99999999999",
                             "ks_worst_weight value 150"})
    engine->sendLine(std::string("setoption name ") + option);
  engine->sendLine("uci");
  std::vector<EngineLine> again;
  ASSERT_TRUE(engine->readUntil("uciok", ResizeBoundMs, nullptr, &again));
  lines = CheckedSpinLines(again);
  EXPECT_EQ(lines["resign"], "option name resign type spin default 3000 min 0 max  3000");
  EXPECT_EQ(lines["egtb_depth"], "option name egtb_depth type spin default 0 min 0 max  1280");
  EXPECT_EQ(lines["ms_prune"], "option name ms_prune type spin default 256 min 0 max  256");
  EXPECT_EQ(lines["ks_worst_weight"], "option name ks_worst_weight type spin default 150 min 0 max  200");
  expectSearches();
}

}  // namespace
