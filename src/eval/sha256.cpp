// SHA-256 after FIPS 180-4, section 6.2; big-endian words throughout.
#include "eval/sha256.h"

#include <cstring>

static constexpr u32 RoundConstants[64] = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2,
};

static constexpr u32 InitialState[8] = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                                 0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};

static inline u32 Rotr(u32 x, int n) { return (x >> n) | (x << (32 - n)); }

static void Compress(u32 state[8], const u8 block[64]) {
  u32 w[64];
  for (int t = 0; t < 16; ++t) {
    w[t] = (u32{block[4 * t]} << 24) | (u32{block[4 * t + 1]} << 16) |
           (u32{block[4 * t + 2]} << 8) | u32{block[4 * t + 3]};
  }
  for (int t = 16; t < 64; ++t) {
    const u32 s0 = Rotr(w[t - 15], 7) ^ Rotr(w[t - 15], 18) ^ (w[t - 15] >> 3);
    const u32 s1 = Rotr(w[t - 2], 17) ^ Rotr(w[t - 2], 19) ^ (w[t - 2] >> 10);
    w[t] = w[t - 16] + s0 + w[t - 7] + s1;
  }
  u32 a = state[0], b = state[1], c = state[2], d = state[3];
  u32 e = state[4], f = state[5], g = state[6], h = state[7];
  for (int t = 0; t < 64; ++t) {
    const u32 t1 = h + (Rotr(e, 6) ^ Rotr(e, 11) ^ Rotr(e, 25)) + ((e & f) ^ (~e & g)) +
                   RoundConstants[t] + w[t];
    const u32 t2 = (Rotr(a, 2) ^ Rotr(a, 13) ^ Rotr(a, 22)) + ((a & b) ^ (a & c) ^ (b & c));
    h = g;
    g = f;
    f = e;
    e = d + t1;
    d = c;
    c = b;
    b = a;
    a = t1 + t2;
  }
  state[0] += a;
  state[1] += b;
  state[2] += c;
  state[3] += d;
  state[4] += e;
  state[5] += f;
  state[6] += g;
  state[7] += h;
}

void Sha256Init(Sha256* ctx) {
  std::memcpy(ctx->state, InitialState, sizeof InitialState);
  ctx->bitLength = 0;
  ctx->blockBytes = 0;
}

void Sha256Update(Sha256* ctx, const u8* data, std::size_t size) {
  while (size > 0) {
    std::size_t take = 64 - ctx->blockBytes;
    if (take > size) take = size;
    std::memcpy(ctx->block + ctx->blockBytes, data, take);
    ctx->blockBytes += take;
    data += take;
    size -= take;
    if (ctx->blockBytes == 64) {
      Compress(ctx->state, ctx->block);
      ctx->bitLength += 512;
      ctx->blockBytes = 0;
    }
  }
}

void Sha256Final(Sha256* ctx, u8 digest[32]) {
  const u64 totalBits = ctx->bitLength + ctx->blockBytes * 8;
  ctx->block[ctx->blockBytes++] = 0x80;
  if (ctx->blockBytes > 56) {
    std::memset(ctx->block + ctx->blockBytes, 0, 64 - ctx->blockBytes);
    Compress(ctx->state, ctx->block);
    ctx->blockBytes = 0;
  }
  std::memset(ctx->block + ctx->blockBytes, 0, 56 - ctx->blockBytes);
  for (int i = 0; i < 8; ++i) ctx->block[56 + i] = static_cast<u8>(totalBits >> (56 - 8 * i));
  Compress(ctx->state, ctx->block);
  for (int i = 0; i < 8; ++i) {
    digest[4 * i] = static_cast<u8>(ctx->state[i] >> 24);
    digest[4 * i + 1] = static_cast<u8>(ctx->state[i] >> 16);
    digest[4 * i + 2] = static_cast<u8>(ctx->state[i] >> 8);
    digest[4 * i + 3] = static_cast<u8>(ctx->state[i]);
  }
  ctx->blockBytes = 0;
}

void Sha256Digest(const u8* data, std::size_t size, u8 digest[32]) {
  Sha256 ctx;
  Sha256Init(&ctx);
  Sha256Update(&ctx, data, size);
  Sha256Final(&ctx, digest);
}
