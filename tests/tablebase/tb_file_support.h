// Test helpers for table files on disk: a scratch directory, plain tables of a known value
// pattern, sparse files, and a stand-in working directory.
#pragma once

#include <string>

#include "board/types.h"

struct ScratchDirectory {
  std::string path;
  ScratchDirectory();
  ~ScratchDirectory();
  std::string operator/(const std::string& name) const { return path + "/" + name; }
  std::string make(const std::string& name) const;  // a subdirectory, created
};

// Switches the working directory for the lifetime of the object.
struct WorkingDirectory {
  std::string previous;
  explicit WorkingDirectory(const std::string& path);
  ~WorkingDirectory();
};

// The value byte the pattern tables hold at an index: -126..126, never 127.
i8 PatternValue(u64 index, u32 seed);
bool WritePatternTable(const std::string& path, u64 size, u32 seed);
// A file of the length whose bytes read as 0, without the disk space.
bool WriteSparseFile(const std::string& path, u64 size);
// The plain file of a row side, named as registration looks for it, holding the pattern.
std::string PatternTableName(const char* row, int side);

// Bytes of address space the process holds now (for tests that limit it).
u64 AddressSpaceInUse();
