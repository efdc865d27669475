#include "tablebase/block_cache.h"

#include <sys/types.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "tablebase/compressed_file.h"
#include "tablebase/registration.h"

u8* TbCacheMemory = nullptr;
u32 TbCacheEntryCount = 0;
TablebaseCacheEntry* TbCacheFreeList = nullptr;
TablebaseCacheEntry* TbCacheLruHead = nullptr;
TablebaseCacheEntry* TbCacheLruTail = nullptr;
u64 TbBlockReadCount = 0;

namespace {

TablebaseCacheEntry* Entries() { return reinterpret_cast<TablebaseCacheEntry*>(TbCacheMemory); }

void LruUnlink(TablebaseCacheEntry* entry) {
  if (entry->newer) entry->newer->older = entry->older;
  else TbCacheLruHead = entry->older;
  if (entry->older) entry->older->newer = entry->newer;
  else TbCacheLruTail = entry->newer;
  entry->older = entry->newer = nullptr;
}

void LruPushFront(TablebaseCacheEntry* entry) {
  entry->newer = nullptr;
  entry->older = TbCacheLruHead;
  if (TbCacheLruHead) TbCacheLruHead->newer = entry;
  else TbCacheLruTail = entry;
  TbCacheLruHead = entry;
}

TablebaseCacheEntry** BucketHead(TablebaseCacheEntry** buckets, u32 firstIndex) {
  return &buckets[(firstIndex >> TbBlockShift) & (TbBucketCount - 1)];
}

void BucketUnlink(TablebaseCacheEntry** head, TablebaseCacheEntry* entry) {
  if (entry->bucketPrevious) entry->bucketPrevious->bucketNext = entry->bucketNext;
  else *head = entry->bucketNext;
  if (entry->bucketNext) entry->bucketNext->bucketPrevious = entry->bucketPrevious;
  entry->bucketNext = entry->bucketPrevious = nullptr;
}

void BucketPushFront(TablebaseCacheEntry** head, TablebaseCacheEntry* entry) {
  entry->bucketPrevious = nullptr;
  entry->bucketNext = *head;
  if (*head) (*head)->bucketPrevious = entry;
  *head = entry;
}

// A block whose read failed: the stream is not trusted again until the next registration.
void DropRowSide(i32 id, i32 side) { TablebaseDescriptorTable[id].filePath[side].clear(); }

bool ReadPlainBlock(FILE* file, u32 firstIndex, u8* data) {
  if (fseeko(file, static_cast<off_t>(firstIndex), SEEK_SET) != 0) return false;
  const size_t read = std::fread(data, 1, TbBlockSize, file);
  if (std::ferror(file)) return false;
  // The last block of a file is shorter.
  std::memset(data + read, 0, TbBlockSize - read);
  return true;
}

bool ReadCompressedBlock(FILE* file, const CompressedTableInfo* info, u32 index, u8* data) {
  if (!TbDecodeBlock) return false;
  const u32 b = index >> TbBlockShift;
  if (b >= info->blockCount) return false;
  const u32 u = b + 1 == info->blockCount ? info->lastBlockSize : info->blockSize;
  const u32 c = info->BlockOffsets[b + 1] - info->BlockOffsets[b];
  if (c > TbBlockSize) return false;
  u8* input = TbDecodeBlock->data;
  if (fseeko(file, static_cast<off_t>(info->BlockOffsets[b]), SEEK_SET) != 0 ||
      std::fread(input, 1, c, file) != c)
    return false;
  if (c == u) {
    std::memcpy(data, input, c);
    return true;
  }
  return DecodeTablebaseBlock(info, input, c, u, data);
}

}  // namespace

void EmptyTablebaseCache() {
  TablebaseCacheEntry* entries = Entries();
  u8* data = TbCacheMemory + static_cast<size_t>(TbCacheEntryCount) * sizeof(TablebaseCacheEntry);
  for (u32 i = 0; i < TbCacheEntryCount; ++i) {
    entries[i] = TablebaseCacheEntry{};
    entries[i].data = data + static_cast<size_t>(i) * TbCacheDataSize;
    entries[i].older = i + 1 < TbCacheEntryCount ? &entries[i + 1] : nullptr;
  }
  for (int id = 1; id < TbRowCount; ++id)
    for (int side = 0; side < 2; ++side)
      if (TablebaseCacheEntry** buckets = TablebaseDescriptorTable[id].cacheBuckets[side])
        std::memset(buckets, 0, TbBucketCount * sizeof(TablebaseCacheEntry*));
  TbCacheLruHead = TbCacheLruTail = nullptr;
  TbCacheFreeList = TbCacheEntryCount ? entries : nullptr;
}

void SetTablebaseCacheSize(i64 megabytes) {
  // UCI hands the value over unchecked: keep to the parameter's range.
  if (megabytes < 0) megabytes = 0;
  if (megabytes > TbCacheMaxMegabytes) megabytes = TbCacheMaxMegabytes;
  SetTablebaseCacheBytes(static_cast<size_t>(megabytes) << 20);
}

void SetTablebaseCacheBytes(size_t bytes) {
  std::free(TbCacheMemory);
  TbCacheMemory = nullptr;
  const bool hadEntries = TbCacheEntryCount != 0;
  TbCacheEntryCount = 0;
  EmptyTablebaseCache();
  if (hadEntries) CloseTablebaseFiles();

  const size_t perEntry = sizeof(TablebaseCacheEntry) + TbCacheDataSize;
  if (bytes < perEntry) return;
  TbCacheMemory = static_cast<u8*>(std::malloc(bytes));
  if (!TbCacheMemory) return;
  TbCacheEntryCount = static_cast<u32>(bytes / perEntry);
  CloseTablebaseFiles();
  EmptyTablebaseCache();
}

bool ReadTablebaseBlock(i32 id, i32 side, u32 index, TablebaseCacheEntry* entry) {
  TablebaseDescriptor& row = TablebaseDescriptorTable[id];
  FILE*& file = row.file[side];
  if (!file) {
    file = std::fopen(row.filePath[side].c_str(), "rb");
    if (!file) {
      // Perhaps out of file handles: give them all back and try once more.
      CloseTablebaseFiles();
      file = std::fopen(row.filePath[side].c_str(), "rb");
      if (!file) return false;
    }
  }
  ++TbBlockReadCount;
  if (const CompressedTableInfo* info = row.decoder[side])
    return ReadCompressedBlock(file, info, index, entry->data);
  return ReadPlainBlock(file, entry->firstIndex, entry->data);
}

const TablebaseCacheEntry* FindTablebaseBlock(i32 id, i32 side, u32 index) {
  TablebaseCacheEntry** buckets = TablebaseDescriptorTable[id].cacheBuckets[side];
  if (TbCacheEntryCount == 0 || !buckets) return nullptr;
  const u32 firstIndex = index & ~(TbBlockSize - 1);
  TablebaseCacheEntry** head = BucketHead(buckets, firstIndex);
  for (TablebaseCacheEntry* entry = *head; entry; entry = entry->bucketNext) {
    if (entry->firstIndex != firstIndex) continue;
    if (entry != TbCacheLruHead) {
      LruUnlink(entry);
      LruPushFront(entry);
    }
    if (entry != *head) {
      BucketUnlink(head, entry);
      BucketPushFront(head, entry);
    }
    return entry;
  }

  TablebaseCacheEntry* entry = TbCacheFreeList;
  if (entry) {
    TbCacheFreeList = entry->older;
    entry->older = nullptr;
  } else {
    entry = TbCacheLruTail;
    LruUnlink(entry);
    TablebaseCacheEntry** victimBuckets =
        TablebaseDescriptorTable[entry->tableId].cacheBuckets[entry->side];
    BucketUnlink(BucketHead(victimBuckets, entry->firstIndex), entry);
  }
  entry->tableId = id;
  entry->side = side;
  entry->firstIndex = firstIndex;
  if (!ReadTablebaseBlock(id, side, index, entry)) {
    entry->older = TbCacheFreeList;
    TbCacheFreeList = entry;
    DropRowSide(id, side);
    return nullptr;
  }
  LruPushFront(entry);
  BucketPushFront(head, entry);
  return entry;
}
