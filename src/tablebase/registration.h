// Finding the tablebase files along a directory list and registering them: the descriptor
// rows get their file paths, decoders and cache buckets, the piece-count tree their ids.
#pragma once

#include <string>

#include "tablebase/descriptors.h"

constexpr u32 TbBlockSize = 8192;
constexpr u32 TbBlockShift = 13;
constexpr u32 TbBucketCount = 32;
// The decoder's bit reader looks a few bytes ahead of what it uses.
constexpr u32 TbDecodeInputPadding = 64;

// The process-wide decode buffer for compressed tables: a small state header, then the input
// area into which the probe reads one block's compressed bytes.
struct TablebaseDecodeBlock {
  u64 state0;
  u64 state1;
  u32 state2;
  u64 state3;
  u8* data;  // its own input area
  u32 state4;
  u32 state5;
  u8 input[TbBlockSize + TbDecodeInputPadding];
};

// Compressed files opened since start-up; never reset.
extern u32 TbCompressedFileCount;
// Exists while compressed files may be probed.
extern TablebaseDecodeBlock* TbDecodeBlock;

// Forgets the previous registrations, then registers every table file found in the
// directories of `path` (separated by ",", ":" or ";"; an empty entry is the working
// directory). Returns the most men of a registered table: 5, 4, 3, or 0 for none. A file of
// the wrong length, or a compressed file that cannot be read, ends the process with status 1.
// Only while no search probes.
int InitTablebases(const std::string& path);

// Enters the row's material, and its colour-swapped image, in the piece-count tree; 1 on
// success, 0 when the tree has no slot for it.
int RegisterTablebase(TablebaseDescriptor* row);

// Closes every table stream of rows 1-110; the probe opens them again on demand.
void CloseTablebaseFiles();
