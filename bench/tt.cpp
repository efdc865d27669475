// Store and probe rates of the transposition table at a given Hash size, on random keys
// (every access a cache miss, as deep in a search) and on a small hot set of keys.
// Usage: bench-tt [hash megabytes, default 64] [operations, default 20000000]
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "search/transposition_table.h"

namespace {

u64 NextKey(u64* state) {
  // xorshift64*: cheap and spreads keys over every bucket
  *state ^= *state >> 12;
  *state ^= *state << 25;
  *state ^= *state >> 27;
  return *state * 0x2545f4914f6cdd1dull;
}

double Seconds(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

struct Rates {
  double store, probeHit, probeMiss;
};

Rates Measure(long operations, u64 keyMask) {
  TT.clear();
  u64 state = 0x9e3779b97f4a7c15ull;
  auto start = std::chrono::steady_clock::now();
  for (long i = 0; i < operations; ++i) {
    u64 key = NextKey(&state) & keyMask;
    TT.store(key, TTExact, 0xc8e1, static_cast<i32>(i & 1023), static_cast<i32>(i & 1023), 3);
  }
  double storeSeconds = Seconds(start);

  // The same key sequence again: most keys are still in the table.
  state = 0x9e3779b97f4a7c15ull;
  u64 sink = 0;
  start = std::chrono::steady_clock::now();
  for (long i = 0; i < operations; ++i) {
    TTProbe probe = TT.probe(NextKey(&state) & keyMask, 64, 5, -50, 50);
    sink += probe.moves[0] + static_cast<u64>(probe.score);
  }
  double hitSeconds = Seconds(start);

  // Keys never stored.
  state = 0x0123456789abcdefull;
  start = std::chrono::steady_clock::now();
  for (long i = 0; i < operations; ++i) {
    TTProbe probe = TT.probe((NextKey(&state) & keyMask) | 1, 64, 5, -50, 50);
    sink += probe.hit != nullptr;
  }
  double missSeconds = Seconds(start);
  if (sink == 42) std::puts("");  // keeps the loops alive
  return {operations / storeSeconds, operations / hitSeconds, operations / missSeconds};
}

}  // namespace

int main(int argc, char** argv) {
  long hash = argc > 1 ? std::atol(argv[1]) : 64;
  long operations = argc > 2 ? std::atol(argv[2]) : 20000000;
  if (!TT.resize(HashMegabytesToLog2Count(hash))) return 1;
  std::printf("table: %llu buckets (%llu MB), %ld operations per figure\n",
              static_cast<unsigned long long>(TT.bucketCount),
              static_cast<unsigned long long>(TT.bucketCount * sizeof(TTBucket) >> 20), operations);
  // Touch every page once so that the first figure does not pay for the page faults.
  Measure(static_cast<long>(TT.bucketCount), ~u64{0});
  Rates cold = Measure(operations, ~u64{0});
  // Keys below 2^15 (stores use the even ones, misses probe odd ones) stay
  // in the first 2^15 buckets: 1 MB, in cache.
  Rates hot = Measure(operations, 0x7ffe);
  std::printf("random keys : store %6.1f M/s, probe hit %6.1f M/s, probe miss %6.1f M/s\n",
              cold.store / 1e6, cold.probeHit / 1e6, cold.probeMiss / 1e6);
  std::printf("hot 1 MB set: store %6.1f M/s, probe hit %6.1f M/s, probe miss %6.1f M/s\n",
              hot.store / 1e6, hot.probeHit / 1e6, hot.probeMiss / 1e6);
  return 0;
}
