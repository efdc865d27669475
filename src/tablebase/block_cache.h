// The block cache of the tablebase probe: one allocation of entries, each holding one block
// of 8192 values of one table side, found through per-row-side bucket lists and recycled in
// least-recently-used order.
#pragma once

#include <cstddef>

#include "board/types.h"

constexpr u32 TbCacheDataSize = 8228;  // 8192 values and room for the decoder's overshoot
constexpr i64 TbCacheMaxMegabytes = 128;

struct TablebaseCacheEntry {
  i32 tableId;
  i32 side;
  u32 firstIndex;  // a multiple of 8192
  TablebaseCacheEntry* older;  // towards the LRU tail; also the free-list link
  TablebaseCacheEntry* newer;
  TablebaseCacheEntry* bucketNext;
  TablebaseCacheEntry* bucketPrevious;
  u8* data;
};

extern u8* TbCacheMemory;
extern u32 TbCacheEntryCount;
extern TablebaseCacheEntry* TbCacheFreeList;
extern TablebaseCacheEntry* TbCacheLruHead;  // most recently used
extern TablebaseCacheEntry* TbCacheLruTail;

// Replaces the cache with one of `megabytes` MB (clamped to 0..128), forgetting every cached
// block and closing every table stream. A failed allocation leaves a cache without entries.
void SetTablebaseCacheSize(i64 megabytes);
// The same for a size in bytes (tests use caches of a few entries).
void SetTablebaseCacheBytes(size_t bytes);

// Puts every entry back on the free list and clears every row side's bucket heads.
void EmptyTablebaseCache();

// The entry that holds the block of the index for the row side, made the most recently used;
// on a miss the block is read into a free or the least recently used entry. Null when the
// row side cannot be probed (no cache, no buckets, or the read failed, which also clears the
// row side's file path so that it is not probed again).
const TablebaseCacheEntry* FindTablebaseBlock(i32 id, i32 side, u32 index);

// Fills the entry's data area with the block that holds the index.
bool ReadTablebaseBlock(i32 id, i32 side, u32 index, TablebaseCacheEntry* entry);

// Blocks read from the table files since start-up; for tests and benchmarks.
extern u64 TbBlockReadCount;
