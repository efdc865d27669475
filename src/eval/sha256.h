// SHA-256 (FIPS 180-4), used to check that a weight file's weights match the hash in its header.
#pragma once

#include <cstddef>

#include "board/types.h"

struct Sha256 {
  u32 state[8];
  u64 bitLength;   // bits compressed so far
  u8 block[64];
  u64 blockBytes;  // bytes waiting in block
};

void Sha256Init(Sha256* ctx);
void Sha256Update(Sha256* ctx, const u8* data, std::size_t size);
// Pads, compresses the last block and writes the 32-byte digest.
void Sha256Final(Sha256* ctx, u8 digest[32]);
// One-shot digest of a buffer.
void Sha256Digest(const u8* data, std::size_t size, u8 digest[32]);
