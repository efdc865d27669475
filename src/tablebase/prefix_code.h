// Canonical prefix codes of compressed tablebase files: building a decode table from code
// lengths, decoding one symbol, and reading the code-length stream of a file's main code.
#pragma once

#include "tablebase/block_bit_reader.h"

// Decode tables: a direct part of 2^width entries looked up by the next `width` bits, then
// overflow nodes (pairs of entries for the next bit 0 and 1) for longer codes. A direct entry
// e >= 0 is (symbol << 5) | length; e < 0 makes -e the index of an overflow node. In a node an
// entry >= 0 is a bare symbol, an entry < 0 the next node, negated.
constexpr u32 MainCodeWidth = 13;
constexpr u32 MainCodeSymbols = 1024;
constexpr u32 MainDecodeTableSize = 8192 + 2048;
constexpr u32 SmallCodeWidth = 8;
constexpr u32 SmallCodeSymbols = 64;
constexpr u32 SmallDecodeTableSize = 256 + 128;

enum PrefixCodeResult : i32 {
  PrefixCodeOk = 0,
  PrefixCodeLengthAbove31,
  PrefixCodeSingleNotOne,  // exactly one symbol, and its length is not 1
  PrefixCodeOddCount,      // more codes of some length than the shorter lengths leave room for
  PrefixCodeNotComplete,   // the code lengths do not fill the code space exactly
  PrefixCodeTableFull,
};

// lengths[0 .. symbols-1]: 0 = absent, 1..31. Also accepts the two degenerate codes (all
// absent: every decode gives symbol 0; one symbol of length 1: every decode gives it), both
// decoding without taking bits. `table` holds 2^width + overflowEntries entries.
PrefixCodeResult BuildDecodeTable(const u8* lengths, u32 symbols, u32 width, i16* table,
                                  u32 overflowEntries);

template <u32 Width>
inline u32 DecodeSymbol(BlockBitReader* reader, const i16* table) {
  i32 e = table[PeekBits(reader, Width)];
  if (e >= 0) {
    DropBits(reader, static_cast<u32>(e) & 31);
    return static_cast<u32>(e) >> 5;
  }
  DropBits(reader, Width);
  do e = table[-e + static_cast<i32>(TakeBits(reader, 1))];
  while (e < 0);
  return static_cast<u32>(e);
}

// Fills lengths[0 .. count-1] (count 128 or 1024) from the reader; 0, or a non-zero code of
// kind 6 naming the failing check. The stream must end within the reader's bytes.
i32 ReadCodeLengthTable(BlockBitReader* reader, u8* lengths, i32 count);
