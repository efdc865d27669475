#include "tablebase/tb_file_support.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include <gtest/gtest.h>

ScratchDirectory::ScratchDirectory() {
  std::string pattern = testing::TempDir() + "tervik_tb_XXXXXX";
  std::vector<char> buffer(pattern.begin(), pattern.end());
  buffer.push_back('\0');
  if (mkdtemp(buffer.data())) path = buffer.data();
  EXPECT_FALSE(path.empty());
}

ScratchDirectory::~ScratchDirectory() {
  std::error_code ignored;
  if (!path.empty()) std::filesystem::remove_all(path, ignored);
}

std::string ScratchDirectory::make(const std::string& name) const {
  std::filesystem::create_directories(*this / name);
  return *this / name;
}

WorkingDirectory::WorkingDirectory(const std::string& path)
    : previous(std::filesystem::current_path().string()) {
  std::filesystem::current_path(path);
}

WorkingDirectory::~WorkingDirectory() { std::filesystem::current_path(previous); }

i8 PatternValue(u64 index, u32 seed) {
  const u64 mixed = (index + seed) * 0x9E3779B97F4A7C15ull;
  return static_cast<i8>(static_cast<i32>((mixed >> 40) % 253) - 126);
}

bool WritePatternTable(const std::string& path, u64 size, u32 seed) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return false;
  std::vector<u8> chunk(1 << 16);
  bool ok = true;
  for (u64 at = 0; at < size && ok; at += chunk.size()) {
    const size_t n = static_cast<size_t>(std::min<u64>(chunk.size(), size - at));
    for (size_t i = 0; i < n; ++i) chunk[i] = static_cast<u8>(PatternValue(at + i, seed));
    ok = std::fwrite(chunk.data(), 1, n, file) == n;
  }
  return std::fclose(file) == 0 && ok;
}

bool WriteSparseFile(const std::string& path, u64 size) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return false;
  const bool ok = ftruncate(fileno(file), static_cast<off_t>(size)) == 0;
  return std::fclose(file) == 0 && ok;
}

std::string PatternTableName(const char* row, int side) {
  return std::string(row) + (side == 0 ? ".nbw" : ".nbb");
}

u64 AddressSpaceInUse() {
  FILE* statm = std::fopen("/proc/self/statm", "r");
  unsigned long pages = 0;
  if (statm) {
    if (std::fscanf(statm, "%lu", &pages) != 1) pages = 0;
    std::fclose(statm);
  }
  return u64{pages} * static_cast<u64>(sysconf(_SC_PAGESIZE));
}
