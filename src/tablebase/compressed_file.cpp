#include "tablebase/compressed_file.h"

#include <sys/types.h>

#include <climits>
#include <cstring>
#include <new>

#include "tablebase/crc32.h"

namespace {

u32 BigEndian32(const u8* bytes) {
  return static_cast<u32>(bytes[0]) << 24 | static_cast<u32>(bytes[1]) << 16 |
         static_cast<u32>(bytes[2]) << 8 | bytes[3];
}

// The banner's text is not fixed, only its form: 58 printable characters, CR LF, four NULs.
bool IsBanner(const u8* bytes) {
  for (int i = 0; i < 58; ++i)
    if (bytes[i] < 0x20 || bytes[i] > 0x7e) return false;
  return bytes[58] == '\r' && bytes[59] == '\n' && bytes[60] == 0 && bytes[61] == 0 &&
         bytes[62] == 0 && bytes[63] == 0;
}

// Length of the file from its current position on; the position is kept.
bool RemainingFileSize(FILE* file, u64* size) {
  const off_t start = ftello(file);
  if (start < 0 || fseeko(file, 0, SEEK_END) != 0) return false;
  const off_t end = ftello(file);
  if (fseeko(file, start, SEEK_SET) != 0 || end < start) return false;
  *size = static_cast<u64>(end - start);
  return true;
}

}  // namespace

u32 OpenCompressedTablebaseFile(CompressedTableInfo** info, FILE* file) {
  *info = nullptr;
  u64 fileSize = 0;
  u8 fixed[TbHeaderFixedSize];
  if (!RemainingFileSize(file, &fileSize) ||
      std::fread(fixed, 1, TbHeaderFixedSize, file) != TbHeaderFixedSize)
    return TbErrorShortHeader;
  if (!IsBanner(fixed)) return TbErrorBanner;

  // Everything below comes from the file: sizes are checked in 64 bits before they are used.
  const u64 headerSize = BigEndian32(fixed + 64);
  const u32 log2BlockSize = fixed[70];
  if (headerSize < 84 || headerSize > INT_MAX || log2BlockSize == 0 || log2BlockSize > 16)
    return TbErrorHeaderSize;
  if (fixed[71] != MatchDistanceCount) return TbErrorDistanceCount;
  if (fixed[76] != 0x00 || fixed[77] != 0x40 || fixed[78] != 0x01 || fixed[79] != 0xF5)
    return TbErrorFixedBytes;

  // A header block longer than the file cannot be read; say so before allocating it.
  if (headerSize > fileSize) return TbErrorHeaderRead;
  std::unique_ptr<u8[]> header(new (std::nothrow) u8[headerSize]);
  if (!header) return TbErrorHeaderMemory;
  std::memcpy(header.get(), fixed, TbHeaderFixedSize);
  const size_t rest = static_cast<size_t>(headerSize - TbHeaderFixedSize);
  if (std::fread(header.get() + TbHeaderFixedSize, 1, rest, file) != rest)
    return TbErrorHeaderRead;
  const u64 checksumAt = headerSize - 4;
  if (Crc32(header.get(), static_cast<i32>(checksumAt)) != BigEndian32(header.get() + checksumAt))
    return TbErrorChecksum;

  const u64 blockCount = BigEndian32(header.get() + 72);
  const u64 fieldsAt = TbHeaderFixedSize + 8 * blockCount;
  const u64 lengthsAt = fieldsAt + ((blockCount + 25) * log2BlockSize + 7) / 8;
  if (blockCount == 0 || lengthsAt >= checksumAt) return TbErrorBlockCount;

  std::unique_ptr<CompressedTableInfo> table(new (std::nothrow) CompressedTableInfo);
  if (!table) return TbErrorInfoMemory;
  table->BlockOffsets.reset(new (std::nothrow) u32[blockCount + 1]);
  if (!table->BlockOffsets) return TbErrorInfoMemory;
  table->log2BlockSize = log2BlockSize;
  table->blockSize = 1u << log2BlockSize;
  table->blockCount = static_cast<u32>(blockCount);

  // Sizes, the last block's value count and the distances: L-bit fields, 0 meaning 2^L for
  // the sizes. The sizes wait in BlockOffsets[1..n] until the offsets are summed.
  BlockBitReader fields;
  StartBitReader(&fields, header.get() + fieldsAt, static_cast<u32>(checksumAt - fieldsAt));
  u32* offsets = table->BlockOffsets.get();
  for (u64 b = 0; b < blockCount; ++b) {
    u32 size = TakeBits(&fields, log2BlockSize);
    offsets[b + 1] = size == 0 ? table->blockSize : size;
  }
  const u32 last = TakeBits(&fields, log2BlockSize);
  table->lastBlockSize = last == 0 ? table->blockSize : last;
  for (u32 slot = 0; slot < MatchDistanceCount; ++slot)
    table->MatchDistance[slot] = static_cast<i32>(TakeBits(&fields, log2BlockSize));

  BlockBitReader lengthsReader;
  StartBitReader(&lengthsReader, header.get() + lengthsAt,
                 static_cast<u32>(checksumAt - lengthsAt));
  u8 lengths[MainCodeSymbols];
  if (ReadCodeLengthTable(&lengthsReader, lengths, MainCodeSymbols) != 0)
    return TbErrorCodeLengths;
  if (BuildDecodeTable(lengths, MainCodeSymbols, MainCodeWidth, table->decodeTable,
                       MainDecodeTableSize - (1u << MainCodeWidth)) != PrefixCodeOk)
    return TbErrorMainCode;

  u64 offset = headerSize;
  for (u64 b = 0; b < blockCount; ++b) {
    const u64 size = offsets[b + 1];
    offsets[b] = static_cast<u32>(offset);
    offset += size;
    if (offset > fileSize) return TbErrorBlocksPastEnd;
  }
  offsets[blockCount] = static_cast<u32>(offset);
  if (offset > UINT32_MAX) return TbErrorBlocksPastEnd;

  *info = table.release();
  return 0;
}

bool DecodeTablebaseBlock(const CompressedTableInfo* info, const u8* input, u32 c, u32 u,
                          u8* output) {
  if (c == u) {
    std::memcpy(output, input, c);
    return true;
  }
  if (c == 0 || u > info->blockSize) return false;

  BlockBitReader reader;
  StartBitReader(&reader, input, c);
  const i16* table = info->decodeTable;
  u32 written = 0;
  while (written < u) {
    const u32 symbol = DecodeSymbol<MainCodeWidth>(&reader, table);
    if (symbol < 256) {
      output[written++] = static_cast<u8>(symbol);
      continue;
    }
    const u32 m = symbol - 256;
    const u32 lengthCode = m & 31;
    u32 length;
    if (lengthCode <= 14) {
      length = lengthCode + 1;
    } else if (lengthCode <= 30) {
      const u32 k = lengthCode - 14;
      length = 14 + (1u << k) + TakeBits(&reader, k);
    } else {
      length = 14 + (1u << 17) + (TakeBits(&reader, 16) << 1);
      length += TakeBits(&reader, 1);
    }
    const u32 distance = static_cast<u32>(info->MatchDistance[m >> 5]);
    if (distance == 0 || distance > written) return false;
    if (length > u - written) length = u - written;

    u8* to = output + written;
    const u8* from = to - distance;
    if (distance >= 16) {
      // Pieces of 16 may run past the copy's end into the slack; later output overwrites it.
      for (u32 i = 0; i < length; i += 16) std::memcpy(to + i, from + i, 16);
    } else if (length <= 4 && distance >= 4) {
      std::memcpy(to, from, 4);
    } else {
      for (u32 i = 0; i < length; ++i) to[i] = from[i];
    }
    written += length;
  }
  // The reader hands out zeros past the bytes it was given; using them means a broken block.
  return BitsConsumed(&reader) <= static_cast<u64>(c) * 8;
}
