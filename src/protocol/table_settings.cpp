// Hash and tablebase settings applied to the process-wide tables.
#include "protocol/table_settings.h"

#include <algorithm>

#include "config/params.h"
#include "search/engine.h"
#include "search/transposition_table.h"
#include "tablebase/block_cache.h"
#include "tablebase/probe.h"
#include "tablebase/registration.h"

// The cache holds itself to the same range.
static_assert(TbCacheMaxMegabytes == NalimovCacheMaxMegabytes);

unsigned HashTableLog2Count(i64 megabytes) {
  return HashMegabytesToLog2Count(std::clamp<i64>(megabytes, 0, HashMaxMegabytes));
}

void ResizeTableForHash(i64 megabytes) { TT.resize(HashTableLog2Count(megabytes)); }

void ClearTable() { TT.clear(); }

int RegisterTablebases(const char* paths) {
  TablebaseMaxMen = InitTablebases(paths);
  if (TablebaseMaxMen > 0 && !TbCacheMemory) SetTablebaseCacheSize(1);
  return TablebaseMaxMen;
}

void ResizeTablebaseCache(i64 megabytes) {
  SetTablebaseCacheSize(std::clamp<i64>(megabytes, 0, NalimovCacheMaxMegabytes));
}

void InitTablebasesAtStartUp(Engine* engine) {
  TablebaseMaxMen = InitTablebases(egtb_path);
  if (TablebaseMaxMen <= 0) {
    engine->useTablebases = 0;
    return;
  }
  SetTablebaseCacheSize(1);
  engine->useTablebases = 1;
  ResizeTablebaseCache(NalimovCache.load());
}
