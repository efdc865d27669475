// The engine's built-in check and speed run: five perft counts against known totals, then the
// benchmark, a depth-9 Think on thirteen middlegame positions whose node total is the
// signature of the search, the move ordering and the network (bench/expected-nodes).
#pragma once

#include <cstdio>

#include "board/board.h"

class Protocol;

constexpr i32 BenchmarkPositionCount = 13;
constexpr i32 BenchmarkDepth = 9;
extern const char* const BenchmarkFens[BenchmarkPositionCount];

u64 Perft4(Board* board);
u64 Perft5(Board* board);
u64 Perft6(Board* board);
// Loads the FEN, counts with the counter of that depth, and reports the FEN line and
// "perft(D) = N in T ms " closed by OK or ERROR.
void PerftTimed(Board* board, const char* fen, i32 depth, u64 (*count)(Board*), i32 expected,
                std::FILE* out);

struct BenchmarkResult {
  u64 nodes;
  i64 elapsedMs;
  u32 bestMoves[BenchmarkPositionCount];
  i32 scores[BenchmarkPositionCount];
  u64 positionNodes[BenchmarkPositionCount];
};

// Each position: history table and transposition table cleared, the FEN printed, Think to
// depth 9 with the protocol's unlimited controller; then the time, node and speed lines. The
// engine's controller and depth limit are put back, its game history is not touched. Think
// consults the books: a book position plays its book move instead of searching. The caller
// holds the engine's thinkMutex with the worker idle.
BenchmarkResult RunBenchmark(Protocol* protocol, std::FILE* out);

// The perft checks and the benchmark, on the console's diagnostics stream.
void RunSelfTests(Protocol* protocol);
