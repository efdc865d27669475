#include "tablebase/registration.h"

#include <sys/types.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "tablebase/block_cache.h"
#include "tablebase/compressed_file.h"
#include "tablebase/index_tables.h"

u32 TbCompressedFileCount = 0;
TablebaseDecodeBlock* TbDecodeBlock = nullptr;

namespace {

[[noreturn]] void Fail() {
  std::fflush(stdout);
  std::exit(1);
}

[[noreturn]] void FailAllocation(long bytes) {
  std::printf("*** Cannot allocate %ld bytes of memory\n", bytes);
  Fail();
}

// Entries may be empty; n separators give n + 1 directories.
std::vector<std::string> SplitDirectories(const std::string& path) {
  std::vector<std::string> directories(1);
  for (char c : path) {
    if (c == ',' || c == ':' || c == ';') directories.emplace_back();
    else directories.back() += c;
  }
  return directories;
}

// The white counts (P, N, B, R, Q) of the letters up to the next 'k', from *at on.
void CountMen(const char* name, size_t* at, u32* counts) {
  for (; name[*at] != '\0' && name[*at] != 'k'; ++*at) {
    switch (name[*at]) {
      case 'n': ++counts[1]; break;
      case 'b': ++counts[2]; break;
      case 'r': ++counts[3]; break;
      case 'q': ++counts[4]; break;
      default: ++counts[0]; break;
    }
  }
}

void ForgetRegistrations() {
  for (int id = 1; id < TbRowCount; ++id) {
    TablebaseDescriptor& row = TablebaseDescriptorTable[id];
    for (int side = 0; side < 2; ++side) {
      std::free(row.cacheBuckets[side]);
      row.cacheBuckets[side] = nullptr;
      row.filePath[side].clear();
      delete row.decoder[side];
      row.decoder[side] = nullptr;
    }
  }
  std::free(TbDecodeBlock);
  TbDecodeBlock = nullptr;
}

// Opens, checks and registers one side's file when it exists under any of its three names.
void RegisterSide(TablebaseDescriptor& row, int side, const std::string& directory) {
  std::string name = directory;
  if (!name.empty()) name += '/';
  name += row.name;
  name += side == 0 ? ".nbw" : ".nbb";

  FILE* file = std::fopen(name.c_str(), "rb");
  CompressedTableInfo* info = nullptr;
  u64 length = 0;
  if (file) {
    if (fseeko(file, 0, SEEK_END) != 0) {
      std::printf("*** Seek in %s failed\n", name.c_str());
      Fail();
    }
    const off_t end = ftello(file);
    length = end < 0 ? 0 : static_cast<u64>(end);
  } else {
    // kpk.nbw.emd, then kpknbw.emd.
    name += ".emd";
    file = std::fopen(name.c_str(), "rb");
    if (!file) {
      name.erase(name.size() - 8, 1);
      file = std::fopen(name.c_str(), "rb");
    }
    if (!file) return;
    ++TbCompressedFileCount;
    const u32 code = OpenCompressedTablebaseFile(&info, file);
    if (code != 0) {
      std::printf("*** Unable to read %s - ", name.c_str());
      switch (code & 0xFF) {
        case TbErrorMemory: std::printf("out of memory\n"); break;
        case TbErrorBroken: std::printf("file broken\n"); break;
        case TbErrorRead: std::printf("read error\n"); break;
        default: std::printf("error %d\n", static_cast<int>(code)); break;
      }
      Fail();
    }
    if (info->blockSize != TbBlockSize) {
      std::printf("*** %s: Unsupported block size %d\n", name.c_str(),
                  static_cast<int>(info->blockSize));
      Fail();
    }
    length = u64{info->blockCount - 1} * TbBlockSize + info->lastBlockSize;
  }
  // Compared in 64 bits: a file 2^32 bytes longer than its table is still wrong.
  if (length != row.positions[side]) {
    std::printf("*** %s corrupted\n", name.c_str());
    Fail();
  }
  std::fclose(file);

  if (RegisterTablebase(&row) == 0) {
    std::printf("*** Unable to register %s\n", name.c_str());
    Fail();
  }
  row.filePath[side] = name;
  row.cacheBuckets[side] =
      static_cast<TablebaseCacheEntry**>(std::calloc(TbBucketCount, sizeof(TablebaseCacheEntry*)));
  if (!row.cacheBuckets[side]) FailAllocation(TbBucketCount * sizeof(TablebaseCacheEntry*));
  row.decoder[side] = info;
}

}  // namespace

void CloseTablebaseFiles() {
  for (int id = 1; id < TbRowCount; ++id) {
    for (int side = 0; side < 2; ++side) {
      FILE*& file = TablebaseDescriptorTable[id].file[side];
      if (file) std::fclose(file);
      file = nullptr;
    }
  }
}

int RegisterTablebase(TablebaseDescriptor* row) {
  u32 counts[TbTreeLevels] = {};
  size_t at = 1;
  CountMen(row->name, &at, counts);
  if (row->name[at] == 'k') {
    ++at;
    CountMen(row->name, &at, counts + 5);
  }
  u64* slot = PieceCountTreeSlot(counts);
  if (!slot) return 0;
  *slot = PieceCountTreeValue(static_cast<i32>(row->id));
  u32 swapped[TbTreeLevels];
  for (int i = 0; i < 5; ++i) {
    swapped[i] = counts[i + 5];
    swapped[i + 5] = counts[i];
  }
  slot = PieceCountTreeSlot(swapped);
  if (!slot) return 0;
  *slot = PieceCountTreeValue(-static_cast<i32>(row->id));
  return 1;
}

int InitTablebases(const std::string& path) {
  CloseTablebaseFiles();
  BuildTbIndexTables();
  BuildPieceCountTree();
  // The cache entries link into the bucket arrays about to be freed.
  EmptyTablebaseCache();
  ForgetRegistrations();

  int highest = 0;
  for (const std::string& directory : SplitDirectories(path)) {
    for (int id = 1; id < TbRowCount; ++id) {
      TablebaseDescriptor& row = TablebaseDescriptorTable[id];
      for (int side = 0; side < 2; ++side)
        if (row.filePath[side].empty()) RegisterSide(row, side, directory);
      if (!row.filePath[0].empty() || !row.filePath[1].empty()) highest = std::max(highest, id);
    }
  }

  if (TbCompressedFileCount != 0) {
    TbDecodeBlock = static_cast<TablebaseDecodeBlock*>(std::calloc(1, sizeof(TablebaseDecodeBlock)));
    if (!TbDecodeBlock) {
      std::printf("*** Cannot allocate decode block: error code %d\n", 209669);
      Fail();
    }
    TbDecodeBlock->state0 = 0;
    TbDecodeBlock->state1 = ~u64{0};
    TbDecodeBlock->state2 = ~u32{0};
    TbDecodeBlock->state3 = 0;
    TbDecodeBlock->data = TbDecodeBlock->input;
    TbDecodeBlock->state4 = ~u32{0};
    TbDecodeBlock->state5 = 0x79A3F29D;
  }

  if (highest >= 36) return 5;
  if (highest >= 6) return 4;
  if (highest >= 1) return 3;
  return 0;
}
