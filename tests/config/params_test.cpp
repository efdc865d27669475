// The registry's table and text conversions, and the effect of tervik.ini lines.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "config/ini_file.h"
#include "config/params.h"

namespace {

struct Expected {
  const char* name;
  bool isInt;
  const char* defaultText;
  i32 minimum;
  i32 maximum;
  bool visible;
};

const Expected Table[] = {
    {"Hash", true, "64", 0, 1024, true},
    {"NalimovCache", true, "4", 0, 128, true},
    {"resign", true, "999", 0, 3000, true},
    {"egtb_depth", true, "192", 0, 1280, true},
    {"book_mix", true, "20", 0, 100, false},
    {"book_white_advantage", true, "3", 0, 100, false},
    {"book_min_percent", true, "48", 0, 100, false},
    {"learn_maxply", true, "24", 0, 100, false},
    {"learn_oubext", true, "2", 0, 20, false},
    {"ext_check", true, "64", 0, 192, true},
    {"ext_single", true, "64", 0, 192, true},
    {"ext_threat", true, "64", 0, 192, true},
    {"ext_pawnon7th", true, "64", 0, 192, true},
    {"ext_pawn_endgame", true, "128", 0, 192, true},
    {"ext_retake", true, "22", 0, 192, true},
    {"ext_pv", true, "32", 0, 192, true},
    {"ext_per_ply", true, "64", 0, 192, true},
    {"static_prune_depth", true, "192", 0, 1024, true},
    {"null_red_depth", true, "128", 0, 384, true},
    {"eval_material", true, "64", 0, 192, true},
    {"ms_prune", true, "96", 0, 256, true},
    {"prune_margin", true, "64", 0, 512, true},
    {"ms_prune_first", true, "2", 1, 40, true},
    {"ks_null_reduce", true, "999", 0, 999, true},
    {"ks_threat_ext", true, "999", 0, 999, true},
    {"ks_prune_move", true, "999", 0, 999, true},
    {"ks_qs_margin", true, "999", 0, 999, true},
    {"ks_qs_break", true, "999", 0, 999, true},
    {"ks_worst_weight", true, "0", 0, 200, true},
    {"learn_book", false, "true", 0, 0, true},
    {"book_random", false, "false", 0, 0, true},
    {"qs_prune_1", false, "true", 0, 0, true},
    {"qs_prune_2", false, "true", 0, 0, true},
    {"qs_see", false, "true", 0, 0, true},
    {"material_only", false, "false", 0, 0, true},
};

// Runs the reader on the text and returns what it wrote as messages.
std::string ReadIniText(const std::string& text) {
  char* errText = nullptr;
  std::size_t errSize = 0;
  std::FILE* err = open_memstream(&errText, &errSize);
  std::FILE* in = fmemopen(const_cast<char*>(text.data()), text.size(), "r");
  ReadIniStream(in, err);
  std::fclose(in);
  std::fclose(err);
  std::string messages(errText, errSize);
  std::free(errText);
  return messages;
}

std::string ValueOf(const char* name) {
  if (std::string(name) == "egtb_path") return egtb_path;
  if (std::string(name) == "nnue_path") return nnue_path;
  ParamRef* param = LookupParam(name);
  return param ? param->toString() : "<none>";
}

}  // namespace

TEST(ParamRegistry, RegistersEveryParameterInOrderWithItsDefault) {
  RegisterParams();
  ASSERT_EQ(Params.count, static_cast<i32>(std::size(Table)));
  int visibleInts = 0, visibleBools = 0;
  for (i32 i = 0; i < Params.count; ++i) {
    const Expected& e = Table[i];
    ParamRef* param = Params.items[i];
    SCOPED_TRACE(e.name);
    EXPECT_EQ(param->name, e.name);
    EXPECT_EQ(param->isInt(), e.isInt);
    EXPECT_EQ(param->toString(), e.defaultText);
    EXPECT_EQ(param->visible, e.visible ? 1 : 0);
    if (e.isInt) {
      auto* intParam = static_cast<IntParam*>(param);
      EXPECT_EQ(intParam->minimum, e.minimum);
      EXPECT_EQ(intParam->maximum, e.maximum);
    }
    if (param->visible) ++(e.isInt ? visibleInts : visibleBools);
    EXPECT_EQ(LookupParam(e.name), param);
  }
  EXPECT_EQ(visibleInts, 24);
  EXPECT_EQ(visibleBools, 6);
  EXPECT_EQ(Hash, 64);
  EXPECT_EQ(learn_book, 1);
  EXPECT_EQ(egtb_path[0], '\0');
  EXPECT_EQ(nnue_path[0], '\0');
}

TEST(ParamRegistry, LookupIsExactAndCaseSensitive) {
  RegisterParams();
  EXPECT_EQ(LookupParam("hash"), nullptr);
  EXPECT_EQ(LookupParam("Hash "), nullptr);
  EXPECT_EQ(LookupParam(""), nullptr);
  EXPECT_EQ(LookupParam("egtb_path"), nullptr);
}

TEST(ParamRegistry, SetConvertsTextAsStrtolHeldToTheRangeAndExactTrue) {
  struct Case {
    const char* name;
    const char* text;
    const char* shown;
  } cases[] = {
      {"resign", "  250xyz", "250"}, {"resign", "abc", "0"},     {"resign", "-7", "0"},
      {"resign", "3000", "3000"},    {"resign", "3001", "3000"},  {"resign", "4294967297", "3000"},
      {"resign", "-99999999999", "0"}, {"ms_prune_first", "0", "1"}, {"ms_prune_first", "x", "1"},
      {"ms_prune_first", "1", "1"},  {"Hash", "5000", "1024"},   {"ext_check", "-5", "0"},
      {"learn_book", "TRUE", "false"}, {"learn_book", "1", "false"}, {"learn_book", "true ", "false"},
      {"book_random", "true", "true"},
  };
  for (const Case& c : cases) {
    RegisterParams();
    SCOPED_TRACE(std::string(c.name) + "=" + c.text);
    LookupParam(c.name)->set(c.text);
    EXPECT_EQ(LookupParam(c.name)->toString(), c.shown);
  }
  RegisterParams();
  // toString looks only at the lowest bit of a bool.
  learn_book = 3;
  EXPECT_EQ(LookupParam("learn_book")->toString(), "true");
  learn_book = 2;
  EXPECT_EQ(LookupParam("learn_book")->toString(), "false");
}

TEST(IniFile, LinesTakeEffectAsTheyAreRead) {
  const std::string longKey(120, 'k');
  const std::string longLine = std::string(310, 'z') + "=1\n";
  struct Case {
    std::string text;
    const char* name;  // parameter or path checked afterwards
    std::string value;
    std::string messages;
  } cases[] = {
      {"Hash=128\n", "Hash", "128", ""},
      {"Hash = 128\n", "Hash", "64", "Unknown parameter: Hash \r\n"},
      {"learn_book=TRUE\n", "learn_book", "false", ""},
      {"learn_book=1\n", "learn_book", "false", ""},
      {"book_random=true\r\n", "book_random", "true", ""},
      {"ms_prune_first=0\n", "ms_prune_first", "1",
       "Parameter ms_prune_first: 0 is outside 1..40, 1 is used\r\n"},
      {"resign=5000\n", "resign", "3000", "Parameter resign: 5000 is outside 0..3000, 3000 is used\r\n"},
      {"ext_check=-5\r\n", "ext_check", "0", "Parameter ext_check: -5 is outside 0..192, 0 is used\r\n"},
      {"Hash=5000\n", "Hash", "1024", "Parameter Hash: 5000 is outside 0..1024, 1024 is used\r\n"},
      {"resign=3000\nresign=0\n", "resign", "0", ""},
      {"x=1\n", "Hash", "64", "Unknown parameter: x\r\n"},
      {"x=\n", "Hash", "64", ""},
      {"#Hash=128\n", "Hash", "64", ""},
      {" Hash=128\n", "Hash", "64", ""},
      {"\tHash=128\n", "Hash", "64", ""},
      {"Hash128\n", "Hash", "64", ""},
      {"\xEF\xBB\xBFHash=128\nresign=5\n", "Hash", "64", ""},
      {"\xEF\xBB\xBFHash=128\nresign=5\n", "resign", "5", ""},
      {"resign=10\r\nresign=20\r\n", "resign", "20", ""},
      {"resign=10\r\r\n", "resign", "10", ""},
      {"resign=7", "resign", "7", ""},
      {"nnue_path=/nets/a.bin  \r\n", "nnue_path", "/nets/a.bin", ""},
      {"nnue_path=/nets/a.bin\t\n", "nnue_path", "/nets/a.bin\t", ""},
      {"egtb_path=/tb;/tb2  \n", "egtb_path", "/tb;/tb2  ", ""},
      {"egtb_path=a=b\n", "egtb_path", "a=b", ""},
      {longKey + "=5\n", "Hash", "64", "Unknown parameter: " + longKey + "\r\n"},
      // A line of more than 299 characters continues as a line of its own.
      {longLine, "Hash", "64", "Unknown parameter: " + std::string(11, 'z') + "\r\n"},
      {std::string("#") + std::string(298, 'c') + "Hash=9\n", "Hash", "9", ""},
      {std::string(297, 'k') + "=1\n", "Hash", "64", "Unknown parameter: " + std::string(297, 'k') + "\r\n"},
  };
  for (const Case& c : cases) {
    RegisterParams();
    SCOPED_TRACE(c.text.substr(0, 40));
    EXPECT_EQ(ReadIniText(c.text), c.messages);
    EXPECT_EQ(ValueOf(c.name), c.value);
  }
}

TEST(IniFile, MissingFileKeepsTheDefaults) {
  RegisterParams();
  char* errText = nullptr;
  std::size_t errSize = 0;
  std::FILE* err = open_memstream(&errText, &errSize);
  EXPECT_FALSE(ReadIniFile("/nonexistent/dir/tervik.ini", err));
  std::fclose(err);
  EXPECT_EQ(std::string(errText, errSize), "Unable to load tervik.ini ! Using defaults !\r\n");
  std::free(errText);
  EXPECT_EQ(Hash, 64);
  EXPECT_EQ(nnue_path[0], '\0');
}

TEST(IniFile, ReadsAFileFromDisk) {
  RegisterParams();
  std::string path = std::string(TERVIK_BINARY_DIR) + "/ini_file_test.ini";
  std::FILE* f = std::fopen(path.c_str(), "w");
  ASSERT_NE(f, nullptr);
  std::fputs("# engine settings\nHash=256\nnnue_path=net.bin \n", f);
  std::fclose(f);
  EXPECT_TRUE(ReadIniFile(path.c_str(), stderr));
  std::remove(path.c_str());
  EXPECT_EQ(Hash, 256);
  EXPECT_STREQ(nnue_path, "net.bin");
  RegisterParams();
}
