// The registry and the table of every parameter with its default and range.
#include "config/params.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "config/ini_file.h"

ParamTable Params;
char egtb_path[PathCapacity];
char nnue_path[PathCapacity];

std::atomic<i32> Hash;
std::atomic<i32> NalimovCache;
std::atomic<i32> resign;
std::atomic<i32> egtb_depth;
std::atomic<i32> book_mix;
std::atomic<i32> book_white_advantage;
std::atomic<i32> book_min_percent;
std::atomic<i32> learn_maxply;
std::atomic<i32> learn_oubext;
std::atomic<i32> ext_check;
std::atomic<i32> ext_single;
std::atomic<i32> ext_threat;
std::atomic<i32> ext_pawnon7th;
std::atomic<i32> ext_pawn_endgame;
std::atomic<i32> ext_retake;
std::atomic<i32> ext_pv;
std::atomic<i32> ext_per_ply;
std::atomic<i32> static_prune_depth;
std::atomic<i32> null_red_depth;
std::atomic<i32> eval_material;
std::atomic<i32> ms_prune;
std::atomic<i32> prune_margin;
std::atomic<i32> ms_prune_first;
std::atomic<i32> ks_null_reduce;
std::atomic<i32> ks_threat_ext;
std::atomic<i32> ks_prune_move;
std::atomic<i32> ks_qs_margin;
std::atomic<i32> ks_qs_break;
std::atomic<i32> ks_worst_weight;
std::atomic<u8> learn_book;
std::atomic<u8> book_random;
std::atomic<u8> qs_prune_1;
std::atomic<u8> qs_prune_2;
std::atomic<u8> qs_see;
std::atomic<u8> material_only;

ParamRef::ParamRef(const char* name) : name(name), visible(1), value(nullptr) {}

IntParam::IntParam(const char* name, std::atomic<i32>* variable, i32 minimum, i32 maximum)
    : ParamRef(name), minimum(minimum), maximum(maximum) {
  value = variable;
}

void IntParam::set(const std::string& text) {
  long given = std::strtol(text.c_str(), nullptr, 10);
  variable()->store(static_cast<i32>(std::clamp<long>(given, minimum, maximum)));
}

std::string IntParam::toString() const {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%d", variable()->load());
  return buffer;
}

BoolParam::BoolParam(const char* name, std::atomic<u8>* variable) : ParamRef(name) {
  value = variable;
}

void BoolParam::set(const std::string& text) { variable()->store(text == "true" ? 1 : 0); }

std::string BoolParam::toString() const { return (variable()->load() & 1) ? "true" : "false"; }

struct ParamRow {
  const char* name;
  std::atomic<i32>* intVariable;  // null for a bool parameter
  std::atomic<u8>* boolVariable;
  i32 defaultValue;
  i32 minimum;
  i32 maximum;
  bool visible;
};

static const ParamRow ParamRows[] = {
    {"Hash", &Hash, nullptr, 64, 0, HashMaxMegabytes, true},
    {"NalimovCache", &NalimovCache, nullptr, 4, 0, NalimovCacheMaxMegabytes, true},
    {"resign", &resign, nullptr, 999, 0, 3000, true},
    {"egtb_depth", &egtb_depth, nullptr, 192, 0, 1280, true},
    {"book_mix", &book_mix, nullptr, 20, 0, 100, false},
    {"book_white_advantage", &book_white_advantage, nullptr, 3, 0, 100, false},
    {"book_min_percent", &book_min_percent, nullptr, 48, 0, 100, false},
    {"learn_maxply", &learn_maxply, nullptr, 24, 0, 100, false},
    {"learn_oubext", &learn_oubext, nullptr, 2, 0, 20, false},
    {"ext_check", &ext_check, nullptr, 64, 0, 192, true},
    {"ext_single", &ext_single, nullptr, 64, 0, 192, true},
    {"ext_threat", &ext_threat, nullptr, 64, 0, 192, true},
    {"ext_pawnon7th", &ext_pawnon7th, nullptr, 64, 0, 192, true},
    {"ext_pawn_endgame", &ext_pawn_endgame, nullptr, 128, 0, 192, true},
    {"ext_retake", &ext_retake, nullptr, 22, 0, 192, true},
    {"ext_pv", &ext_pv, nullptr, 32, 0, 192, true},
    {"ext_per_ply", &ext_per_ply, nullptr, 64, 0, 192, true},
    {"static_prune_depth", &static_prune_depth, nullptr, 192, 0, 1024, true},
    {"null_red_depth", &null_red_depth, nullptr, 128, 0, 384, true},
    {"eval_material", &eval_material, nullptr, 64, 0, 192, true},
    {"ms_prune", &ms_prune, nullptr, 96, 0, 256, true},
    {"prune_margin", &prune_margin, nullptr, 64, 0, 512, true},
    {"ms_prune_first", &ms_prune_first, nullptr, 2, 1, 40, true},
    {"ks_null_reduce", &ks_null_reduce, nullptr, 999, 0, 999, true},
    {"ks_threat_ext", &ks_threat_ext, nullptr, 999, 0, 999, true},
    {"ks_prune_move", &ks_prune_move, nullptr, 999, 0, 999, true},
    {"ks_qs_margin", &ks_qs_margin, nullptr, 999, 0, 999, true},
    {"ks_qs_break", &ks_qs_break, nullptr, 999, 0, 999, true},
    {"ks_worst_weight", &ks_worst_weight, nullptr, 0, 0, 200, true},
    {"learn_book", nullptr, &learn_book, 1, 0, 0, true},
    {"book_random", nullptr, &book_random, 0, 0, 0, true},
    {"qs_prune_1", nullptr, &qs_prune_1, 1, 0, 0, true},
    {"qs_prune_2", nullptr, &qs_prune_2, 1, 0, 0, true},
    {"qs_see", nullptr, &qs_see, 1, 0, 0, true},
    {"material_only", nullptr, &material_only, 0, 0, 0, true},
};

static constexpr int RowCount = sizeof ParamRows / sizeof ParamRows[0];

// Parameter objects live until the process ends; a repeated registration reuses them.
static ParamRef* ParamObjects[RowCount];

static ParamRef* CreateParam(const ParamRow& row) {
  if (row.intVariable) return new IntParam(row.name, row.intVariable, row.minimum, row.maximum);
  return new BoolParam(row.name, row.boolVariable);
}

void RegisterParams() {
  Params.count = 0;
  nnue_path[0] = '\0';
  egtb_path[0] = '\0';
  for (int i = 0; i < RowCount; ++i) {
    const ParamRow& row = ParamRows[i];
    if (!ParamObjects[i]) ParamObjects[i] = CreateParam(row);
    ParamRef* param = ParamObjects[i];
    Params.items[Params.count++] = param;
    if (row.intVariable) {
      row.intVariable->store(row.defaultValue);
    } else {
      row.boolVariable->store(static_cast<u8>(row.defaultValue));
    }
    param->visible = row.visible ? 1 : 0;
  }
  if (Params.count > 189) {
    std::fputs("Params gehen bald aus !", stderr);
    std::exit(10);
  }
}

ParamRef* LookupParam(const std::string& name) {
  for (i32 i = 0; i < Params.count; ++i) {
    if (Params.items[i]->name == name) return Params.items[i];
  }
  return nullptr;
}

void InitParams() {
  RegisterParams();
  ReadIniFile("tervik.ini", stderr);
}
