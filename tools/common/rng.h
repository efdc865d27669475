// The tools' own pseudo-random generator (xoshiro256** seeded through splitmix64), so that
// shuffles and initial weights are the same on every platform for a given seed.
#pragma once

#include <cmath>

#include "board/types.h"

struct ToolRng {
  u64 state[4];

  explicit ToolRng(u64 seed) {
    for (u64& word : state) {
      seed += 0x9e3779b97f4a7c15ull;
      u64 z = seed;
      z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
      z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
      word = z ^ (z >> 31);
    }
  }

  u64 Next() {
    const u64 result = Rotl(state[1] * 5, 7) * 9;
    const u64 t = state[1] << 17;
    state[2] ^= state[0];
    state[3] ^= state[1];
    state[1] ^= state[2];
    state[0] ^= state[3];
    state[2] ^= t;
    state[3] = Rotl(state[3], 45);
    return result;
  }

  // Uniform in [0, bound), bound > 0, without modulo bias (Lemire's method).
  u64 Below(u64 bound) {
    for (;;) {
      const unsigned __int128 product = static_cast<unsigned __int128>(Next()) * bound;
      const u64 low = static_cast<u64>(product);
      if (low >= bound || low >= (0 - bound) % bound) return static_cast<u64>(product >> 64);
    }
  }

  // Uniform in [0, 1).
  double Uniform() { return static_cast<double>(Next() >> 11) * 0x1.0p-53; }

  // Standard normal (Box-Muller, one value per call).
  double Normal() {
    const double u = 1.0 - Uniform();  // (0, 1]
    const double v = Uniform();
    return std::sqrt(-2.0 * std::log(u)) * std::cos(6.283185307179586 * v);
  }

 private:
  static u64 Rotl(u64 x, int k) { return (x << k) | (x >> (64 - k)); }
};
