// Most-significant-bit-first reader of the bit streams in compressed tablebase files: one
// big-endian 32-bit word, then 16-bit refills. It never touches memory past the `size` bytes
// it was given (it reads zeros there), so a stream that runs on is caught by the caller
// comparing BitsConsumed with the stream's length.
#pragma once

#include "board/types.h"

struct BlockBitReader {
  u32 buffer;     // the next unread bits, aligned to the most significant bit
  i32 count;      // buffered bits beyond the first 16 (1..16 between calls)
  u32 next;       // offset of the next 16-bit word
  const u8* data;
  u32 size;
};

inline u32 BitReaderByte(const BlockBitReader* reader, u32 offset) {
  return offset < reader->size ? reader->data[offset] : 0u;
}

inline void StartBitReader(BlockBitReader* reader, const u8* data, u32 size) {
  reader->data = data;
  reader->size = size;
  reader->buffer = BitReaderByte(reader, 0) << 24 | BitReaderByte(reader, 1) << 16 |
                   BitReaderByte(reader, 2) << 8 | BitReaderByte(reader, 3);
  reader->count = 16;
  reader->next = 4;
}

// The top k bits without taking them; 1 <= k <= 16.
inline u32 PeekBits(const BlockBitReader* reader, u32 k) { return reader->buffer >> (32 - k); }

// 0 <= k <= 16.
inline void DropBits(BlockBitReader* reader, u32 k) {
  reader->buffer <<= k;
  reader->count -= static_cast<i32>(k);
  if (reader->count <= 0) {
    u32 word;
    if (reader->next + 2 <= reader->size) {
      word = static_cast<u32>(reader->data[reader->next]) << 8 | reader->data[reader->next + 1];
    } else {
      word = BitReaderByte(reader, reader->next) << 8 | BitReaderByte(reader, reader->next + 1);
    }
    reader->buffer |= word << -reader->count;
    reader->next += 2;
    reader->count += 16;
  }
}

// 0 <= k <= 16.
inline u32 TakeBits(BlockBitReader* reader, u32 k) {
  if (k == 0) return 0;
  u32 value = PeekBits(reader, k);
  DropBits(reader, k);
  return value;
}

// Fields up to 32 bits wide, taken in two parts.
inline u32 TakeWideBits(BlockBitReader* reader, u32 k) {
  if (k <= 16) return TakeBits(reader, k);
  u32 high = TakeBits(reader, k - 16);
  return high << 16 | TakeBits(reader, 16);
}

inline u64 BitsConsumed(const BlockBitReader* reader) {
  return static_cast<u64>(reader->next) * 8 - static_cast<u64>(reader->count + 16);
}
