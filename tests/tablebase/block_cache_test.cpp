// The block cache: sizes, one entry, cached blocks served without the file, LRU order against
// a model, a second registration while blocks are cached, failed reads, compressed tables.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <list>
#include <random>
#include <set>

#include "board/fen.h"
#include "tablebase/block_cache.h"
#include "tablebase/compressed_file.h"
#include "tablebase/descriptors.h"
#include "tablebase/emd_encoder.h"
#include "tablebase/probe.h"
#include "tablebase/registration.h"
#include "tablebase/tb_file_support.h"
#include "tb_fixtures.h"
#include "tb_positions.h"

namespace {

constexpr size_t EntryBytes = sizeof(TablebaseCacheEntry) + TbCacheDataSize;

u32 FreeEntries() {
  u32 n = 0;
  for (const TablebaseCacheEntry* e = TbCacheFreeList; e; e = e->older) ++n;
  return n;
}

// Every entry is free, or on the LRU list and in the bucket of its block; the LRU list links
// both ways.
void ExpectCacheConsistent() {
  u32 used = 0;
  const TablebaseCacheEntry* newer = nullptr;
  for (const TablebaseCacheEntry* e = TbCacheLruHead; e; newer = e, e = e->older) {
    ++used;
    ASSERT_EQ(e->newer, newer);
    TablebaseCacheEntry** buckets = TablebaseDescriptorTable[e->tableId].cacheBuckets[e->side];
    ASSERT_NE(buckets, nullptr);
    bool found = false;
    for (const TablebaseCacheEntry* b = buckets[(e->firstIndex >> 13) & 31]; b; b = b->bucketNext)
      found |= b == e;
    EXPECT_TRUE(found);
  }
  EXPECT_EQ(TbCacheLruTail, newer);
  EXPECT_EQ(used + FreeEntries(), TbCacheEntryCount);
}

class TablebaseCache : public ::testing::Test {
 protected:
  void SetUp() override {
    kpkp = TbRowOfName("kpkp");
    kqk = TbRowOfName("kqk");
    ASSERT_TRUE(WritePatternTable(directory / "kpkp.nbw", TablebaseDescriptorTable[kpkp].positions[0], 1));
    ASSERT_TRUE(WritePatternTable(directory / "kqk.nbw", TablebaseDescriptorTable[kqk].positions[0], 2));
    TablebaseMaxMen = InitTablebases(directory.path);
    ASSERT_EQ(TablebaseMaxMen, 4);
  }
  void TearDown() override {
    InitTablebases("/nonexistent");
    SetTablebaseCacheSize(0);
  }
  // The block of the index through the cache; checks the value it holds.
  bool Find(int row, u32 index, u32 seed) {
    const TablebaseCacheEntry* entry = FindTablebaseBlock(row, 0, index);
    if (!entry) return false;
    EXPECT_EQ(static_cast<i8>(entry->data[index - entry->firstIndex]), PatternValue(index, seed));
    return true;
  }

  ScratchDirectory directory;
  int kpkp = 0, kqk = 0;
};

TEST_F(TablebaseCache, SizesAreClampedToTheParameterRange) {
  const u32 perMegabyte = static_cast<u32>((size_t{1} << 20) / EntryBytes);
  struct Case {
    i64 megabytes;
    u32 entries;
  };
  const Case cases[] = {{0, 0}, {-5, 0}, {1, perMegabyte}, {4, static_cast<u32>((size_t{4} << 20) / EntryBytes)},
                        {128, static_cast<u32>((size_t{128} << 20) / EntryBytes)},
                        {4096, static_cast<u32>((size_t{128} << 20) / EntryBytes)},
                        {i64{1} << 40, static_cast<u32>((size_t{128} << 20) / EntryBytes)}};
  for (const Case& c : cases) {
    SetTablebaseCacheSize(c.megabytes);
    EXPECT_EQ(TbCacheEntryCount, c.entries) << c.megabytes;
    EXPECT_EQ(FreeEntries(), c.entries);
    EXPECT_EQ(Find(kpkp, 12345, 1), c.entries != 0) << c.megabytes;
  }
  SetTablebaseCacheBytes(EntryBytes - 1);
  EXPECT_EQ(TbCacheEntryCount, 0u);
}

TEST(TablebaseCacheDeathTest, FailedAllocationLeavesNoEntries) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
  GTEST_SKIP() << "address-space limits do not mix with sanitizer shadow memory";
#endif
  EXPECT_EXIT(
      {
        SetTablebaseCacheSize(1);
        rlimit limit{};
        limit.rlim_cur = limit.rlim_max = AddressSpaceInUse() + (32u << 20);
        if (setrlimit(RLIMIT_AS, &limit) != 0) _exit(3);
        SetTablebaseCacheSize(128);
        _exit(TbCacheEntryCount == 0 && TbCacheFreeList == nullptr && TbCacheLruHead == nullptr ? 0 : 1);
      },
      testing::ExitedWithCode(0), "");
}

TEST_F(TablebaseCache, OneEntryReadsEveryOtherBlock) {
  SetTablebaseCacheBytes(EntryBytes);
  ASSERT_EQ(TbCacheEntryCount, 1u);
  const u64 reads = TbBlockReadCount;
  EXPECT_TRUE(Find(kpkp, 5, 1));
  EXPECT_TRUE(Find(kpkp, 8191, 1));
  EXPECT_EQ(TbBlockReadCount, reads + 1);
  EXPECT_TRUE(Find(kpkp, 8192, 1));
  EXPECT_TRUE(Find(kqk, 5, 2));
  EXPECT_TRUE(Find(kpkp, 6, 1));
  EXPECT_EQ(TbBlockReadCount, reads + 4);
  ExpectCacheConsistent();
}

TEST_F(TablebaseCache, CachedBlockNeedsNoFile) {
  SetTablebaseCacheSize(1);
  const u64 reads = TbBlockReadCount;
  EXPECT_TRUE(Find(kpkp, 3 * 8192 + 17, 1));
  // The file now holds other values; the cached block must still answer.
  ASSERT_TRUE(WritePatternTable(directory / "kpkp.nbw", TablebaseDescriptorTable[kpkp].positions[0], 9));
  EXPECT_TRUE(Find(kpkp, 3 * 8192 + 8000, 1));
  EXPECT_TRUE(Find(kpkp, 3 * 8192, 1));
  EXPECT_EQ(TbBlockReadCount, reads + 1);
  EXPECT_TRUE(Find(kpkp, 7 * 8192, 9));
  EXPECT_EQ(TbBlockReadCount, reads + 2);
}

TEST_F(TablebaseCache, LeastRecentlyUsedBlockGoesFirst) {
  constexpr u32 Entries = 7;
  SetTablebaseCacheBytes(Entries * EntryBytes);
  ASSERT_EQ(TbCacheEntryCount, Entries);
  std::list<u32> model;  // block numbers, most recent first
  std::mt19937 random(3);
  std::geometric_distribution<u32> skew(0.08);
  const u32 blocks = (TablebaseDescriptorTable[kpkp].positions[0] + 8191) / 8192;
  u64 misses = 0;
  const u64 reads = TbBlockReadCount;
  for (int n = 0; n < 20000; ++n) {
    // Blocks 32 apart share a bucket, so the bucket lists hold several entries.
    const u32 block = (skew(random) * 32 + random() % 3) % blocks;
    const u32 index = std::min(block * 8192 + static_cast<u32>(random() % 8192),
                               TablebaseDescriptorTable[kpkp].positions[0] - 1);
    auto at = std::find(model.begin(), model.end(), block);
    if (at == model.end()) {
      ++misses;
      if (model.size() == Entries) model.pop_back();
    } else {
      model.erase(at);
    }
    model.push_front(block);
    ASSERT_TRUE(Find(kpkp, index, 1));
  }
  EXPECT_EQ(TbBlockReadCount - reads, misses);
  EXPECT_GT(misses, 1000u);
  ExpectCacheConsistent();
  std::vector<u32> cached;
  for (const TablebaseCacheEntry* e = TbCacheLruHead; e; e = e->older) cached.push_back(e->firstIndex / 8192);
  EXPECT_EQ(cached, std::vector<u32>(model.begin(), model.end()));
}

TEST_F(TablebaseCache, RegisteringAgainEmptiesTheCache) {
  SetTablebaseCacheBytes(3 * EntryBytes);
  for (u32 block = 0; block < 3; ++block) EXPECT_TRUE(Find(kqk, block * 8192, 2));
  // A second directory without kqk: its bucket arrays are gone, so no entry may link to them.
  ScratchDirectory other;
  ASSERT_TRUE(WritePatternTable(other / "kpkp.nbw", TablebaseDescriptorTable[kpkp].positions[0], 5));
  ASSERT_EQ(InitTablebases(other.path), 4);
  EXPECT_EQ(FreeEntries(), 3u);
  EXPECT_EQ(TbCacheLruHead, nullptr);
  for (u32 block = 0; block < 8; ++block) EXPECT_TRUE(Find(kpkp, block * 8192 + 1, 5));
  ExpectCacheConsistent();
}

// A compressed kqk table (white to move) of draws whose block 1 copies from before its start.
TEST_F(TablebaseCache, FailedReadStopsProbingThatSide) {
  ScratchDirectory compressed;
  EmdEncoderOptions options;
  options.mainLengths.assign(1024, 10);  // symbol s is coded as its 10-bit number
  EmdFile file = EncodeEmd(std::vector<u8>(TablebaseDescriptorTable[kqk].positions[0], 0), options);
  ASSERT_FALSE(file.blockRaw[1]);
  const u32 block1 = file.headerSize + file.blockSizes[0];
  file.bytes[block1] = 0x48;  // symbol 288: a copy from distance 2 as the block's first symbol
  file.bytes[block1 + 1] &= 0x3F;
  ASSERT_TRUE(WriteBytesToFile(compressed / "kqk.nbw.emd", file.bytes));
  ASSERT_EQ(InitTablebases(compressed.path), 3);
  ASSERT_NE(TbDecodeBlock, nullptr);
  SetTablebaseCacheSize(1);

  // A position of block 0 and one of block 1, white to move.
  const TbMaterial material = TbMaterialOfRow(kqk);
  std::string inBlock0, inBlock1;
  TbForEachPosition(material, 0, [&](const TbPlacement& p) {
    Board board;
    TbLoadBoard(&board, material, p, 0, false);
    TbLookup lookup{};
    if (!TbLookupBoard(&board, &lookup)) return;
    if (lookup.index >= 16384) return;
    std::string& fen = lookup.index < 8192 ? inBlock0 : inBlock1;
    if (fen.empty()) fen = TbPlacementFen(material, p, 0, false);
  });
  ASSERT_FALSE(inBlock0.empty());
  ASSERT_FALSE(inBlock1.empty());
  Board good, bad;
  ASSERT_TRUE(SetFen(&good, inBlock0.c_str()));
  ASSERT_TRUE(SetFen(&bad, inBlock1.c_str()));
  i32 score = 0;
  EXPECT_TRUE(ProbeTablebaseScore(&good, 1, &score));
  const u32 free = FreeEntries();
  EXPECT_FALSE(ProbeTablebaseScore(&bad, 1, &score));
  EXPECT_EQ(FreeEntries(), free);
  EXPECT_TRUE(TablebaseDescriptorTable[kqk].filePath[0].empty());
  EXPECT_FALSE(ProbeTablebaseScore(&good, 1, &score));
  ExpectCacheConsistent();
}

// The solved three-man tables stored compressed give, position by position, what the plain
// files give.
TEST_F(TablebaseCache, CompressedTablesProbeLikePlainOnes) {
  ScratchDirectory plain, compressed;
  const std::vector<int> rows = {TbRowOfName("kqk"), TbRowOfName("krk"), TbRowOfName("kpk")};
  for (int row : rows) {
    ASSERT_TRUE(TbWriteSolvedFiles(plain.path, row));
    for (int side = 0; side < 2; ++side) {
      const std::vector<i8>& solved = TbSolvedValues(row, side);
      EmdFile file = EncodeEmd(std::vector<u8>(solved.begin(), solved.end()));
      EXPECT_GT(std::count(file.blockRaw.begin(), file.blockRaw.end(), false), 0);
      ASSERT_TRUE(WriteBytesToFile(compressed / (PatternTableName(TablebaseDescriptorTable[row].name, side) + ".emd"),
                                   file.bytes));
    }
  }
  std::vector<std::string> fens;
  for (int row : rows) {
    const TbMaterial material = TbMaterialOfRow(row);
    for (int side = 0; side < 2; ++side) {
      int n = 0;
      TbForEachPosition(material, side, [&](const TbPlacement& p) {
        if (n++ % 7 == 0) fens.push_back(TbPlacementFen(material, p, side, n % 2 == 0));
      });
    }
  }
  std::vector<i32> plainScores;
  for (const std::string* dir : {&plain.path, &compressed.path}) {
    ASSERT_EQ(InitTablebases(*dir), 3);
    SetTablebaseCacheSize(1);
    for (size_t i = 0; i < fens.size(); ++i) {
      Board board;
      ASSERT_TRUE(SetFen(&board, fens[i].c_str())) << fens[i];
      i32 score = 0;
      ASSERT_TRUE(ProbeTablebaseScore(&board, 1, &score)) << fens[i];
      if (dir == &plain.path) plainScores.push_back(score);
      else ASSERT_EQ(score, plainScores[i]) << fens[i];
    }
  }
  EXPECT_GT(fens.size(), 20000u);
}

}  // namespace
