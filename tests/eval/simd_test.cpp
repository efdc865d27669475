#include "eval/simd.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

struct SimdPath {
  const char* name;
  void (*add)(i16*, const i16*);
  void (*addSub)(i16*, const i16*, const i16*, const i16*);
  void (*addSubSub)(i16*, const i16*, const i16*, const i16*, const i16*);
  i64 (*output)(const i16*, const i16*, const i16*, const i16*);
};

// Every path compiled into this build, the one in use included.
static std::vector<SimdPath> CompiledPaths() {
  std::vector<SimdPath> paths;
#ifdef TERVIK_SIMD_SSE
  paths.push_back({"sse4.1", RowAddSse, RowAddSubSse, RowAddSubSubSse, OutputSumSse});
#endif
#ifdef TERVIK_SIMD_AVX2
  paths.push_back({"avx2", RowAddAvx2, RowAddSubAvx2, RowAddSubSubAvx2, OutputSumAvx2});
#endif
#ifdef TERVIK_SIMD_AVX512
  paths.push_back({"avx512", RowAddAvx512, RowAddSubAvx512, RowAddSubSubAvx512, OutputSumAvx512});
#endif
  paths.push_back({"selected", RowAdd, RowAddSub, RowAddSubSub, OutputSum});
  return paths;
}

struct alignas(64) Row {
  i16 v[NnueHidden];
};

// Rows of extreme and random values: wrapping sums, clipping at 0 and 181, and output products
// at the i16 limits, where a pair of products just fits 32 bits and four of them do not.
static std::vector<Row> TestRows() {
  std::vector<Row> rows(12);
  std::mt19937 rng(7);
  for (int j = 0; j < NnueHidden; ++j) {
    rows[0].v[j] = 32767;
    rows[1].v[j] = -32768;
    rows[2].v[j] = NnueQA;
    rows[3].v[j] = static_cast<i16>(j % 2 ? 32767 : -32768);
    rows[4].v[j] = static_cast<i16>(j - 128);  // -128..127: both clip edges
    rows[5].v[j] = static_cast<i16>(NnueQA + (j % 3) - 1);
    for (int r = 6; r < 12; ++r) rows[r].v[j] = static_cast<i16>(rng());
  }
  return rows;
}

TEST(Simd, EveryPathMatchesScalar) {
  const std::vector<Row> rows = TestRows();
  const int n = static_cast<int>(rows.size());
  for (const SimdPath& path : CompiledPaths()) {
    SCOPED_TRACE(path.name);
    for (int a = 0; a < n; ++a) {
      for (int b = 0; b < n; ++b) {
        const Row& x = rows[a];
        const Row& y = rows[b];
        const Row& z = rows[(a + b) % n];
        const Row& u = rows[(a * 5 + b) % n];
        Row expected = x, got = x;
        RowAddScalar(expected.v, y.v);
        path.add(got.v, y.v);
        ASSERT_EQ(0, std::memcmp(expected.v, got.v, sizeof got.v)) << a << " + " << b;

        RowAddSubScalar(expected.v, x.v, y.v, z.v);
        path.addSub(got.v, x.v, y.v, z.v);
        ASSERT_EQ(0, std::memcmp(expected.v, got.v, sizeof got.v)) << a << " +- " << b;

        RowAddSubSubScalar(expected.v, x.v, y.v, z.v, u.v);
        path.addSubSub(got.v, x.v, y.v, z.v, u.v);
        ASSERT_EQ(0, std::memcmp(expected.v, got.v, sizeof got.v)) << a << " +-- " << b;

        // In place, as a child updated from itself.
        got = x;
        path.addSub(got.v, got.v, y.v, z.v);
        RowAddSubScalar(expected.v, x.v, y.v, z.v);
        ASSERT_EQ(0, std::memcmp(expected.v, got.v, sizeof got.v)) << a << " in place " << b;

        ASSERT_EQ(path.output(x.v, y.v, z.v, u.v), OutputSumScalar(x.v, y.v, z.v, u.v))
            << a << " . " << b;
      }
    }
  }
}

// The sum of 512 products of 181^2 and -32768 needs 64 bits; a pair of them is the most that
// 32 bits hold.
TEST(Simd, OutputSumAtTheLimits) {
  Row clipped, low, high;
  for (int j = 0; j < NnueHidden; ++j) {
    clipped.v[j] = 30000;
    low.v[j] = -32768;
    high.v[j] = 32767;
  }
  EXPECT_EQ(OutputSumScalar(clipped.v, clipped.v, low.v, low.v), -512LL * 32761 * 32768);
  EXPECT_EQ(OutputSumScalar(clipped.v, clipped.v, high.v, high.v), 512LL * 32761 * 32767);
  for (const SimdPath& path : CompiledPaths()) {
    SCOPED_TRACE(path.name);
    EXPECT_EQ(path.output(clipped.v, clipped.v, low.v, low.v), -512LL * 32761 * 32768);
    EXPECT_EQ(path.output(clipped.v, clipped.v, high.v, high.v), 512LL * 32761 * 32767);
  }
}
