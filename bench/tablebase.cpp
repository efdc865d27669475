// Probe rates of the tablebase probe: on a hot cache (every block cached), and on misses from
// plain and from compressed files (a 1 MB cache over tables several times its size). The
// tables are written into a temporary directory first; their values are arbitrary.
// Usage: bench-tablebase [seconds per measurement, default 1]
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "board/fen.h"
#include "tablebase/block_cache.h"
#include "tablebase/descriptors.h"
#include "tablebase/probe.h"
#include "tablebase/registration.h"
// The test encoder writes the compressed tables.
#include "../tests/tablebase/emd_encoder.cpp"

namespace {

// Long runs of a few values with noise between them, roughly as real tables compress.
std::vector<u8> TableValues(u32 size, u32 seed) {
  std::mt19937 random(seed);
  std::vector<u8> values;
  values.reserve(size);
  while (values.size() < size) {
    const u8 value = static_cast<u8>(static_cast<i32>(random() % 9) - 4);
    for (u32 n = 1 + random() % 200; n > 0 && values.size() < size; --n) values.push_back(value);
    values.push_back(static_cast<u8>(random() % 250));
  }
  values.resize(size);
  return values;
}

bool WriteTables(const std::string& dir, const char* name, bool compressed) {
  int row = 1;
  while (row < TbRowCount && std::string(TablebaseDescriptorTable[row].name) != name) ++row;
  for (int side = 0; side < 2; ++side) {
    std::vector<u8> values = TableValues(TablebaseDescriptorTable[row].positions[side], row * 2 + side);
    std::string path = dir + "/" + name + (side ? ".nbb" : ".nbw");
    if (compressed && !WriteBytesToFile(path + ".emd", EncodeEmd(values).bytes)) return false;
    if (!compressed && !WriteBytesToFile(path, values)) return false;
  }
  return true;
}

// Random legal positions of the men (white's, then black's, as piece codes) besides the kings.
std::vector<Board> RandomPositions(const std::vector<u8>& men, size_t count, u32 seed) {
  std::mt19937 random(seed);
  std::vector<Board> boards;
  while (boards.size() < count) {
    char grid[64];
    std::fill(grid, grid + 64, '.');
    auto place = [&](char letter, bool pawn) {
      u32 s;
      do s = random() % 64;
      while (grid[s] != '.' || (pawn && (s % 8 == 0 || s % 8 == 7)));
      grid[s] = letter;
    };
    place('K', false);
    place('k', false);
    for (u8 man : men) place(PieceLetters[man], TypeOf(man) == 0);
    std::string fen;
    for (int rank = 7; rank >= 0; --rank) {
      int empty = 0;
      for (int file = 0; file < 8; ++file) {
        const char c = grid[file * 8 + rank];
        if (c == '.') {
          ++empty;
          continue;
        }
        if (empty) fen += static_cast<char>('0' + empty);
        empty = 0;
        fen += c;
      }
      if (empty) fen += static_cast<char>('0' + empty);
      if (rank) fen += '/';
    }
    fen += random() % 2 ? " w - - 0 1" : " b - - 0 1";
    Board board;
    if (SetFen(&board, fen.c_str())) boards.push_back(board);
  }
  return boards;
}

void Measure(const char* what, const std::vector<Board>& boards, double seconds) {
  const u64 readsBefore = TbBlockReadCount;
  u64 probes = 0, found = 0;
  i64 sink = 0;
  const auto start = std::chrono::steady_clock::now();
  double elapsed = 0;
  while (elapsed < seconds) {
    for (const Board& board : boards) {
      i32 score = 0;
      if (ProbeTablebaseScore(&board, 1, &score)) ++found, sink += score;
    }
    probes += boards.size();
    elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  }
  const u64 reads = TbBlockReadCount - readsBefore;
  std::printf("%-34s %12.0f probes/s  %5.1f%% blocks read  (%llu probes, %llu found, %lld)\n", what,
              probes / elapsed, 100.0 * static_cast<double>(reads) / static_cast<double>(probes),
              static_cast<unsigned long long>(probes), static_cast<unsigned long long>(found),
              static_cast<long long>(sink % 1000));
}

}  // namespace

int main(int argc, char** argv) {
  const double seconds = argc > 1 ? std::atof(argv[1]) : 1.0;
  char pattern[] = "/tmp/tervik_bench_tb_XXXXXX";
  if (!mkdtemp(pattern)) return 1;
  const std::string root = pattern;
  const std::string plain = root + "/plain", compressed = root + "/emd";
  std::filesystem::create_directories(plain);
  std::filesystem::create_directories(compressed);
  InitTablebases("/nonexistent");  // builds the index tables and the material tree
  for (const char* name : {"kqk", "krk", "kpkp", "kqkr"}) {
    if (!WriteTables(plain, name, false) || !WriteTables(compressed, name, true)) return 1;
  }

  const std::vector<Board> hot = RandomPositions({WhiteQueen}, 100000, 1);
  const std::vector<Board> hot2 = RandomPositions({WhiteRook}, 100000, 2);
  const std::vector<Board> cold = RandomPositions({WhitePawn, BlackPawn}, 100000, 3);
  const std::vector<Board> cold2 = RandomPositions({WhiteQueen, BlackRook}, 100000, 4);

  for (const std::string* dir : {&plain, &compressed}) {
    const bool isPlain = dir == &plain;
    TablebaseMaxMen = InitTablebases(*dir);
    SetTablebaseCacheSize(16);
    Measure(isPlain ? "hot cache, kqk (plain)" : "hot cache, kqk (compressed)", hot, seconds);
    Measure(isPlain ? "hot cache, krk (plain)" : "hot cache, krk (compressed)", hot2, seconds);
    SetTablebaseCacheSize(1);
    Measure(isPlain ? "1 MB cache, kpkp (plain)" : "1 MB cache, kpkp (compressed)", cold, seconds);
    Measure(isPlain ? "1 MB cache, kqkr (plain)" : "1 MB cache, kqkr (compressed)", cold2, seconds);
  }
  InitTablebases("/nonexistent");
  SetTablebaseCacheSize(0);
  std::filesystem::remove_all(root);
  return 0;
}
