// The parameter registry: every tunable value is a process-wide variable bound to a named,
// typed parameter, so that tervik.ini and UCI "setoption" can set any of them from text.
#pragma once

#include <atomic>
#include <string>

#include "board/types.h"

// The protocol thread writes parameters while the worker searches, so every bound variable is
// an atomic. Readers take the value by plain implicit conversion, e.g.
//     i32 margin = prune_margin;        if (ext_check > 0) ...
// and call .load() only where a template needs the plain type (std::min(ext_per_ply.load(), e)).
// A number is held to its listed range when it is stored, so that the search runs with the value
// "uci" lists; readers that size, index or multiply with a parameter still guard their range.

class ParamRef {
 public:
  std::string name;  // ini key and UCI option name
  u8 visible;        // 1 = listed by the UCI "uci" command
  void* value;       // the bound variable

  explicit ParamRef(const char* name);
  virtual void set(const std::string& text) = 0;
  virtual std::string toString() const = 0;
  virtual bool isInt() const = 0;
};

class IntParam : public ParamRef {
 public:
  i32 minimum;  // the listed range, which every stored value keeps to
  i32 maximum;

  IntParam(const char* name, std::atomic<i32>* variable, i32 minimum, i32 maximum);
  std::atomic<i32>* variable() const { return static_cast<std::atomic<i32>*>(value); }
  // strtol in base 10 (no digits gives 0), held to minimum..maximum.
  void set(const std::string& text) override;
  std::string toString() const override;
  bool isInt() const override { return true; }
};

class BoolParam : public ParamRef {
 public:
  BoolParam(const char* name, std::atomic<u8>* variable);
  std::atomic<u8>* variable() const { return static_cast<std::atomic<u8>*>(value); }
  // Exactly "true" sets 1, anything else 0.
  void set(const std::string& text) override;
  std::string toString() const override;
  bool isInt() const override { return false; }
};

constexpr i32 ParamCapacity = 200;

struct ParamTable {
  i32 count;
  ParamRef* items[ParamCapacity];  // registration order = UCI option order
};

extern ParamTable Params;

// The path variables, set only from tervik.ini (NUL-terminated, empty at start).
constexpr int PathCapacity = 1024;
extern char egtb_path[PathCapacity];
extern char nnue_path[PathCapacity];

// The listed ranges of the two sizes in megabytes; the tables they size hold to them whatever
// value the registry keeps.
constexpr i32 HashMaxMegabytes = 1024;
constexpr i32 NalimovCacheMaxMegabytes = 128;

extern std::atomic<i32> Hash;
extern std::atomic<i32> NalimovCache;
extern std::atomic<i32> resign;
extern std::atomic<i32> egtb_depth;
extern std::atomic<i32> book_mix;
extern std::atomic<i32> book_white_advantage;
extern std::atomic<i32> book_min_percent;
extern std::atomic<i32> learn_maxply;
extern std::atomic<i32> learn_oubext;
extern std::atomic<i32> ext_check;
extern std::atomic<i32> ext_single;
extern std::atomic<i32> ext_threat;
extern std::atomic<i32> ext_pawnon7th;
extern std::atomic<i32> ext_pawn_endgame;
extern std::atomic<i32> ext_retake;
extern std::atomic<i32> ext_pv;
extern std::atomic<i32> ext_per_ply;
extern std::atomic<i32> static_prune_depth;
extern std::atomic<i32> null_red_depth;
extern std::atomic<i32> eval_material;
extern std::atomic<i32> ms_prune;
extern std::atomic<i32> prune_margin;
extern std::atomic<i32> ms_prune_first;
extern std::atomic<i32> ks_null_reduce;
extern std::atomic<i32> ks_threat_ext;
extern std::atomic<i32> ks_prune_move;
extern std::atomic<i32> ks_qs_margin;
extern std::atomic<i32> ks_qs_break;
extern std::atomic<i32> ks_worst_weight;
extern std::atomic<u8> learn_book;
extern std::atomic<u8> book_random;
extern std::atomic<u8> qs_prune_1;
extern std::atomic<u8> qs_prune_2;
extern std::atomic<u8> qs_see;
extern std::atomic<u8> material_only;

// Fills the table in its fixed order and stores every default; both paths become empty.
// Safe to call again (the tests do): the same objects are registered anew.
void RegisterParams();
// The first registered parameter with exactly this name, or null.
ParamRef* LookupParam(const std::string& name);
// Start-up: registration, then ./tervik.ini.
void InitParams();
