#include "tablebase/prefix_code.h"

#include <algorithm>
#include <cstring>

namespace {

// Failure codes of the code-length stream (kind 6: broken file).
constexpr i32 ErrorSmallLengthAbove31 = 0x14306;
constexpr i32 ErrorSmallSingleNotOne = 0x15006;
constexpr i32 ErrorSmallOddCount = 0x16006;
constexpr i32 ErrorSmallNotComplete = 0x16406;
constexpr i32 ErrorZeroRunPast128 = 0x1b806;
constexpr i32 ErrorRunPastCount = 0x1e606;
constexpr i32 ErrorStreamPastEnd = 0x1f206;

i32 SmallCodeError(PrefixCodeResult result) {
  switch (result) {
    case PrefixCodeOk: return 0;
    case PrefixCodeLengthAbove31: return ErrorSmallLengthAbove31;
    case PrefixCodeSingleNotOne: return ErrorSmallSingleNotOne;
    case PrefixCodeOddCount: return ErrorSmallOddCount;
    default: return ErrorSmallNotComplete;
  }
}

// The 128 lengths of the two small codes, after the leading all-zero bit: a field width, then
// per length one field; a 0 is followed by a 4-bit count of further zeros.
i32 ReadSmallLengths(BlockBitReader* reader, u8* lengths) {
  u32 width = TakeBits(reader, 5);
  for (u32 i = 0; i < 128;) {
    u8 value = static_cast<u8>(TakeWideBits(reader, width));
    lengths[i++] = value;
    if (value == 0) {
      u32 run = TakeBits(reader, 4);
      if (i + run > 128) return ErrorZeroRunPast128;
      std::memset(lengths + i, 0, run);
      i += run;
    }
  }
  return 0;
}

i32 ReadLengths(BlockBitReader* reader, u8* lengths, i32 count) {
  if (count <= 0) return 0;
  const u32 total = static_cast<u32>(count);
  if (TakeBits(reader, 1) == 1) {
    std::memset(lengths, 0, total);
    return 0;
  }
  if (total == 128) return ReadSmallLengths(reader, lengths);

  // Code A gives lengths (0..31) or a repeated length (32..63) whose run comes from code B.
  u8 small[128];
  if (i32 result = ReadLengths(reader, small, 128)) return result;
  i16 codeA[SmallDecodeTableSize];
  i16 codeB[SmallDecodeTableSize];
  if (i32 result = SmallCodeError(BuildDecodeTable(small, SmallCodeSymbols, SmallCodeWidth, codeA,
                                                   SmallDecodeTableSize - 256)))
    return result;
  if (i32 result = SmallCodeError(BuildDecodeTable(small + 64, SmallCodeSymbols, SmallCodeWidth,
                                                   codeB, SmallDecodeTableSize - 256)))
    return result;

  for (u32 i = 0; i < total;) {
    u32 symbol = DecodeSymbol<SmallCodeWidth>(reader, codeA);
    if (symbol < 32) {
      lengths[i++] = static_cast<u8>(symbol);
      continue;
    }
    u32 r = DecodeSymbol<SmallCodeWidth>(reader, codeB);
    u64 run = r;
    if (r > 32) {
      u32 k = r - 32;
      u64 base = 31 + (u64{1} << k);
      if (i + base + 2 > total) return ErrorRunPastCount;
      run = base + TakeWideBits(reader, k);
    }
    if (i + run + 2 > total) return ErrorRunPastCount;
    std::memset(lengths + i, static_cast<int>(symbol - 32), static_cast<size_t>(run + 2));
    i += static_cast<u32>(run + 2);
  }
  return 0;
}

}  // namespace

PrefixCodeResult BuildDecodeTable(const u8* lengths, u32 symbols, u32 width, i16* table,
                                  u32 overflowEntries) {
  u32 counts[32] = {};
  u32 used = 0;
  u32 lastUsed = 0;
  for (u32 s = 0; s < symbols; ++s) {
    if (lengths[s] > 31) return PrefixCodeLengthAbove31;
    if (lengths[s] == 0) continue;
    ++counts[lengths[s]];
    ++used;
    lastUsed = s;
  }
  const u32 direct = 1u << width;
  if (used == 0) {
    std::fill(table, table + direct, i16{0});
    return PrefixCodeOk;
  }
  if (used == 1) {
    if (lengths[lastUsed] != 1) return PrefixCodeSingleNotOne;
    std::fill(table, table + direct, static_cast<i16>(lastUsed << 5));
    return PrefixCodeOk;
  }

  // Kraft sum exactly 1, tested from the longest codes up.
  u64 t = counts[31];
  for (u32 length = 30; length >= 1; --length) {
    if (t & 1) return PrefixCodeOddCount;
    t = t / 2 + counts[length];
  }
  if (t != 2) return PrefixCodeNotComplete;

  u32 nextCode[32] = {};
  u32 code = 0;
  for (u32 length = 1; length <= 31; ++length) {
    code = (code + counts[length - 1]) << 1;
    nextCode[length] = code;
  }

  // Direct entries start at 0 (no complete code of two or more symbols has one of length 0),
  // overflow entries at -1 (never a node index).
  std::fill(table, table + direct, i16{0});
  std::fill(table + direct, table + direct + overflowEntries, i16{-1});
  u32 nextNode = direct;
  const u32 end = direct + overflowEntries;
  for (u32 s = 0; s < symbols; ++s) {
    const u32 length = lengths[s];
    if (length == 0) continue;
    const u32 bits = nextCode[length]++;
    if (length <= width) {
      const u32 first = bits << (width - length);
      std::fill(table + first, table + first + (1u << (width - length)),
                static_cast<i16>(s << 5 | length));
      continue;
    }
    // One node per bit beyond the direct width; the last bit selects the leaf slot.
    i16* entry = &table[bits >> (length - width)];
    i16 unset = 0;
    for (i32 j = static_cast<i32>(length - width) - 1; j >= 0; --j) {
      if (*entry == unset) {
        if (nextNode + 2 > end) return PrefixCodeTableFull;
        *entry = static_cast<i16>(-static_cast<i32>(nextNode));
        nextNode += 2;
      } else if (*entry >= 0) {
        return PrefixCodeNotComplete;  // a shorter code is a prefix of this one
      }
      entry = &table[-*entry + static_cast<i32>((bits >> j) & 1)];
      unset = -1;
    }
    if (*entry != -1) return PrefixCodeNotComplete;
    *entry = static_cast<i16>(s);
  }
  return PrefixCodeOk;
}

i32 ReadCodeLengthTable(BlockBitReader* reader, u8* lengths, i32 count) {
  i32 result = ReadLengths(reader, lengths, count);
  if (result == 0 && BitsConsumed(reader) > static_cast<u64>(reader->size) * 8)
    return ErrorStreamPastEnd;
  return result;
}
