// Row operations on accumulator halves (256 wrapping i16 lanes) and the output sum, with a
// scalar path and vector paths; the widest one the build target has is chosen at compile time,
// TERVIK_SCALAR forces the scalar one. Every path gives the scalar path's exact results.
#pragma once

#include "eval/network_constants.h"

#if !defined(TERVIK_SCALAR) && defined(__SSE4_1__)
#include <immintrin.h>
#define TERVIK_SIMD_SSE 1
#endif
#if !defined(TERVIK_SCALAR) && defined(__AVX2__)
#define TERVIK_SIMD_AVX2 1
#endif
#if !defined(TERVIK_SCALAR) && defined(__AVX512F__) && defined(__AVX512BW__)
#define TERVIK_SIMD_AVX512 1
#endif

// ---- scalar: the definitions the vector paths must match ----

// Wrapping i16 arithmetic: the sum is taken in int and reduced modulo 2^16.
inline i16 WrapI16(int value) { return static_cast<i16>(static_cast<u16>(value)); }

inline void RowAddScalar(i16* dst, const i16* row) {
  for (int j = 0; j < NnueHidden; ++j) dst[j] = WrapI16(dst[j] + row[j]);
}
inline void RowAddSubScalar(i16* dst, const i16* src, const i16* add, const i16* sub) {
  for (int j = 0; j < NnueHidden; ++j) dst[j] = WrapI16(src[j] + add[j] - sub[j]);
}
inline void RowAddSubSubScalar(i16* dst, const i16* src, const i16* add, const i16* sub1,
                               const i16* sub2) {
  for (int j = 0; j < NnueHidden; ++j) dst[j] = WrapI16(src[j] + add[j] - sub1[j] - sub2[j]);
}
// Sum over j of clip(a[j])^2 * wa[j] + clip(b[j])^2 * wb[j], clip to 0..QA, each product in
// 32 bits (|181^2 * w| < 2^31), the sum in 64.
inline i64 OutputSumScalar(const i16* a, const i16* b, const i16* wa, const i16* wb) {
  i64 sum = 0;
  for (int j = 0; j < NnueHidden; ++j) {
    const i32 ca = a[j] < 0 ? 0 : (a[j] > NnueQA ? NnueQA : a[j]);
    const i32 cb = b[j] < 0 ? 0 : (b[j] > NnueQA ? NnueQA : b[j]);
    const i32 pa = ca * ca * wa[j];
    const i32 pb = cb * cb * wb[j];
    sum += pa;
    sum += pb;
  }
  return sum;
}

// ---- 128-bit ----
#ifdef TERVIK_SIMD_SSE
inline void RowAddSse(i16* dst, const i16* row) {
  for (int j = 0; j < NnueHidden; j += 8) {
    __m128i* d = reinterpret_cast<__m128i*>(dst + j);
    _mm_storeu_si128(d, _mm_add_epi16(_mm_loadu_si128(d),
                                      _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + j))));
  }
}
inline void RowAddSubSse(i16* dst, const i16* src, const i16* add, const i16* sub) {
  for (int j = 0; j < NnueHidden; j += 8) {
    __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + j));
    v = _mm_add_epi16(v, _mm_loadu_si128(reinterpret_cast<const __m128i*>(add + j)));
    v = _mm_sub_epi16(v, _mm_loadu_si128(reinterpret_cast<const __m128i*>(sub + j)));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + j), v);
  }
}
inline void RowAddSubSubSse(i16* dst, const i16* src, const i16* add, const i16* sub1,
                            const i16* sub2) {
  for (int j = 0; j < NnueHidden; j += 8) {
    __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + j));
    v = _mm_add_epi16(v, _mm_loadu_si128(reinterpret_cast<const __m128i*>(add + j)));
    v = _mm_sub_epi16(v, _mm_loadu_si128(reinterpret_cast<const __m128i*>(sub1 + j)));
    v = _mm_sub_epi16(v, _mm_loadu_si128(reinterpret_cast<const __m128i*>(sub2 + j)));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + j), v);
  }
}
// Eight products of one step. A pair of products is summed in 32 bits (|2 * 181^2 * 32768| <
// 2^31, so the pair sums are exact) and the pair sums are widened to 64 bits.
inline __m128i OutputStepSse(__m128i acc, const i16* x, const i16* w) {
  __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(x));
  c = _mm_min_epi16(_mm_max_epi16(c, _mm_setzero_si128()), _mm_set1_epi16(NnueQA));
  const __m128i sq = _mm_mullo_epi16(c, c);  // <= 32761, exact in i16
  const __m128i pairs =
      _mm_madd_epi16(sq, _mm_loadu_si128(reinterpret_cast<const __m128i*>(w)));
  acc = _mm_add_epi64(acc, _mm_cvtepi32_epi64(pairs));
  return _mm_add_epi64(acc, _mm_cvtepi32_epi64(_mm_srli_si128(pairs, 8)));
}
inline i64 OutputSumSse(const i16* a, const i16* b, const i16* wa, const i16* wb) {
  __m128i acc = _mm_setzero_si128();
  for (int j = 0; j < NnueHidden; j += 8) {
    acc = OutputStepSse(acc, a + j, wa + j);
    acc = OutputStepSse(acc, b + j, wb + j);
  }
  return _mm_cvtsi128_si64(acc) + _mm_extract_epi64(acc, 1);
}
#endif

// ---- 256-bit ----
#ifdef TERVIK_SIMD_AVX2
inline void RowAddAvx2(i16* dst, const i16* row) {
  for (int j = 0; j < NnueHidden; j += 16) {
    __m256i* d = reinterpret_cast<__m256i*>(dst + j);
    _mm256_storeu_si256(
        d, _mm256_add_epi16(_mm256_loadu_si256(d),
                            _mm256_loadu_si256(reinterpret_cast<const __m256i*>(row + j))));
  }
}
inline void RowAddSubAvx2(i16* dst, const i16* src, const i16* add, const i16* sub) {
  for (int j = 0; j < NnueHidden; j += 16) {
    __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + j));
    v = _mm256_add_epi16(v, _mm256_loadu_si256(reinterpret_cast<const __m256i*>(add + j)));
    v = _mm256_sub_epi16(v, _mm256_loadu_si256(reinterpret_cast<const __m256i*>(sub + j)));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + j), v);
  }
}
inline void RowAddSubSubAvx2(i16* dst, const i16* src, const i16* add, const i16* sub1,
                             const i16* sub2) {
  for (int j = 0; j < NnueHidden; j += 16) {
    __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + j));
    v = _mm256_add_epi16(v, _mm256_loadu_si256(reinterpret_cast<const __m256i*>(add + j)));
    v = _mm256_sub_epi16(v, _mm256_loadu_si256(reinterpret_cast<const __m256i*>(sub1 + j)));
    v = _mm256_sub_epi16(v, _mm256_loadu_si256(reinterpret_cast<const __m256i*>(sub2 + j)));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + j), v);
  }
}
inline __m256i OutputStepAvx2(__m256i acc, const i16* x, const i16* w) {
  __m256i c = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(x));
  c = _mm256_min_epi16(_mm256_max_epi16(c, _mm256_setzero_si256()), _mm256_set1_epi16(NnueQA));
  const __m256i sq = _mm256_mullo_epi16(c, c);
  const __m256i pairs =
      _mm256_madd_epi16(sq, _mm256_loadu_si256(reinterpret_cast<const __m256i*>(w)));
  acc = _mm256_add_epi64(acc, _mm256_cvtepi32_epi64(_mm256_castsi256_si128(pairs)));
  return _mm256_add_epi64(acc, _mm256_cvtepi32_epi64(_mm256_extracti128_si256(pairs, 1)));
}
inline i64 OutputSumAvx2(const i16* a, const i16* b, const i16* wa, const i16* wb) {
  __m256i acc = _mm256_setzero_si256();
  for (int j = 0; j < NnueHidden; j += 16) {
    acc = OutputStepAvx2(acc, a + j, wa + j);
    acc = OutputStepAvx2(acc, b + j, wb + j);
  }
  const __m128i s = _mm_add_epi64(_mm256_castsi256_si128(acc), _mm256_extracti128_si256(acc, 1));
  return _mm_cvtsi128_si64(s) + _mm_extract_epi64(s, 1);
}
#endif

// ---- 512-bit ----
#ifdef TERVIK_SIMD_AVX512
inline void RowAddAvx512(i16* dst, const i16* row) {
  for (int j = 0; j < NnueHidden; j += 32) {
    _mm512_storeu_si512(dst + j,
                        _mm512_add_epi16(_mm512_loadu_si512(dst + j), _mm512_loadu_si512(row + j)));
  }
}
inline void RowAddSubAvx512(i16* dst, const i16* src, const i16* add, const i16* sub) {
  for (int j = 0; j < NnueHidden; j += 32) {
    __m512i v = _mm512_add_epi16(_mm512_loadu_si512(src + j), _mm512_loadu_si512(add + j));
    _mm512_storeu_si512(dst + j, _mm512_sub_epi16(v, _mm512_loadu_si512(sub + j)));
  }
}
inline void RowAddSubSubAvx512(i16* dst, const i16* src, const i16* add, const i16* sub1,
                               const i16* sub2) {
  for (int j = 0; j < NnueHidden; j += 32) {
    __m512i v = _mm512_add_epi16(_mm512_loadu_si512(src + j), _mm512_loadu_si512(add + j));
    v = _mm512_sub_epi16(v, _mm512_loadu_si512(sub1 + j));
    _mm512_storeu_si512(dst + j, _mm512_sub_epi16(v, _mm512_loadu_si512(sub2 + j)));
  }
}
inline __m512i OutputStepAvx512(__m512i acc, const i16* x, const i16* w) {
  __m512i c = _mm512_loadu_si512(x);
  c = _mm512_min_epi16(_mm512_max_epi16(c, _mm512_setzero_si512()), _mm512_set1_epi16(NnueQA));
  const __m512i sq = _mm512_mullo_epi16(c, c);
  const __m512i pairs = _mm512_madd_epi16(sq, _mm512_loadu_si512(w));
  // Sign-extend the even and the odd 32-bit sums into 64-bit lanes (the all-lanes maskz forms,
  // because GCC 12's plain forms warn about an uninitialised pass-through).
  constexpr __mmask8 all = 0xff;
  const __m512i even = _mm512_maskz_srai_epi64(all, _mm512_maskz_slli_epi64(all, pairs, 32), 32);
  acc = _mm512_add_epi64(acc, even);
  return _mm512_add_epi64(acc, _mm512_maskz_srai_epi64(all, pairs, 32));
}
inline i64 OutputSumAvx512(const i16* a, const i16* b, const i16* wa, const i16* wb) {
  __m512i acc = _mm512_setzero_si512();
  for (int j = 0; j < NnueHidden; j += 32) {
    acc = OutputStepAvx512(acc, a + j, wa + j);
    acc = OutputStepAvx512(acc, b + j, wb + j);
  }
  alignas(64) i64 lanes[8];
  _mm512_store_si512(lanes, acc);
  return lanes[0] + lanes[1] + lanes[2] + lanes[3] + lanes[4] + lanes[5] + lanes[6] + lanes[7];
}
#endif

// ---- the path this build uses ----
#if defined(TERVIK_SIMD_AVX512)
#define TERVIK_SIMD_PATH(name) name##Avx512
inline constexpr char SimdPathName[] = "avx512";
#elif defined(TERVIK_SIMD_AVX2)
#define TERVIK_SIMD_PATH(name) name##Avx2
inline constexpr char SimdPathName[] = "avx2";
#elif defined(TERVIK_SIMD_SSE)
#define TERVIK_SIMD_PATH(name) name##Sse
inline constexpr char SimdPathName[] = "sse4.1";
#else
#define TERVIK_SIMD_PATH(name) name##Scalar
inline constexpr char SimdPathName[] = "scalar";
#endif

inline void RowAdd(i16* dst, const i16* row) { TERVIK_SIMD_PATH(RowAdd)(dst, row); }
inline void RowAddSub(i16* dst, const i16* src, const i16* add, const i16* sub) {
  TERVIK_SIMD_PATH(RowAddSub)(dst, src, add, sub);
}
inline void RowAddSubSub(i16* dst, const i16* src, const i16* add, const i16* sub1,
                         const i16* sub2) {
  TERVIK_SIMD_PATH(RowAddSubSub)(dst, src, add, sub1, sub2);
}
inline i64 OutputSum(const i16* a, const i16* b, const i16* wa, const i16* wb) {
  return TERVIK_SIMD_PATH(OutputSum)(a, b, wa, wb);
}
