// Hash and tablebase settings applied to the process-wide tables.
#include "protocol/table_settings.h"

#include <algorithm>

#include "config/params.h"
#include "search/engine.h"

#include "search/transposition_table.h"
#if __has_include("tablebase/registration.h")
#include "tablebase/block_cache.h"
#include "tablebase/registration.h"
#define TERVIK_HAVE_TABLEBASES 1
#endif

void ResizeTableForHash(i64 megabytes) { TT.resize(HashMegabytesToLog2Count(megabytes)); }

void ClearTable() { TT.clear(); }

int RegisterTablebases(const char* paths) {
#ifdef TERVIK_HAVE_TABLEBASES
  TablebaseMaxMen = InitTablebases(paths);
  if (TablebaseMaxMen > 0 && !TablebaseCacheExists()) SetTablebaseCacheSize(1);
  return TablebaseMaxMen;
#else
  (void)paths;
  return 0;
#endif
}

void ResizeTablebaseCache(i64 megabytes) {
#ifdef TERVIK_HAVE_TABLEBASES
  SetTablebaseCacheSize(static_cast<u32>(std::clamp<i64>(megabytes, 0, 128)));
#else
  (void)megabytes;
#endif
}

void InitTablebasesAtStartUp(Engine* engine) {
#ifdef TERVIK_HAVE_TABLEBASES
  TablebaseMaxMen = InitTablebases(egtb_path);
  if (TablebaseMaxMen <= 0) {
    engine->useTablebases = 0;
    return;
  }
  SetTablebaseCacheSize(1);
  engine->useTablebases = 1;
  ResizeTablebaseCache(NalimovCache.load());
#else
  // TEMPORARY: the tablebase code is not on main yet; start-up runs without tablebases.
  engine->useTablebases = 0;
#endif
}
