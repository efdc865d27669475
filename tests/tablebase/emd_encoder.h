// Test helper: writes compressed tablebase files (".emd") from value bytes, in exactly the
// layout the decoder reads, with knobs that steer it into each corner of the format.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "board/types.h"

// Most-significant-bit-first bit writer.
struct BitWriter {
  std::vector<u8> bytes;
  u64 bitCount = 0;
  void put(u64 value, u32 bits);
  void alignToByte() { bitCount = (bitCount + 7) & ~u64{7}; }
};

struct CodeLengthStreamOptions {
  u32 smallFieldWidth = 0;   // width of the 128 small-code lengths; 0 = the narrowest that fits
  bool useRuns = true;       // code repeated lengths as runs (else every length alone)
};

// The 128 small-code lengths after their all-zero flag: a field width (0: the narrowest that
// fits), the fields, and after each 0 a 4-bit count of further zeros.
void WriteSmallLengths(BitWriter* out, const u8* lengths, u32 fieldWidth);

// The code-length stream of `count` (128 or 1024) lengths, as ReadCodeLengthTable reads it.
void WriteCodeLengthStream(BitWriter* out, const u8* lengths, u32 count,
                           const CodeLengthStreamOptions& options = {});

// Canonical code lengths for the frequencies, at most maxLength bits; symbols of frequency 0
// get 0. One used symbol gets length 1 (the degenerate code).
std::vector<u8> HuffmanLengths(const std::vector<u64>& frequencies, u32 maxLength);

struct EmdEncoderOptions {
  u32 log2BlockSize = 13;
  bool rawOnly = false;       // store every block raw
  bool literalsOnly = false;  // code every block, but without copies
  // Code a copy that ends its block with length code 31 and zero extra bits: the decoder
  // must stop it at the block's end.
  bool stretchFinalCopies = false;
  // A main code to use instead of the Huffman code of the symbols (1024 lengths); it must
  // give every used symbol a length.
  std::vector<u8> mainLengths;
  // When the only symbol is literal 0, give the all-absent code rather than length 1.
  bool zeroCodeForZeros = false;
  std::array<u32, 24> distances = {1,  2,  3,  4,  5,  6,  7,  8,   9,   10,  11,  12,
                                   13, 14, 15, 16, 20, 24, 32, 64, 128, 256, 512, 1024};
  std::string banner = "Tervik compressed tablebase test file";  // padded to 58 characters
  CodeLengthStreamOptions lengthStream;
};

struct EmdFile {
  std::vector<u8> bytes;
  u32 headerSize = 0;
  u32 blockCount = 0;
  u32 fieldsAt = 0;   // first byte of the packed fields
  u32 lengthsAt = 0;  // first byte of the code-length stream
  std::vector<u32> blockSizes;
  std::vector<bool> blockRaw;
  std::vector<u8> mainLengths;
  std::vector<u64> symbolCounts;  // per main-code symbol, over all blocks
};

EmdFile EncodeEmd(const std::vector<u8>& values, const EmdEncoderOptions& options = {});

// After editing header bytes: the checksum at H - 4 over bytes 0 .. H - 5.
void FixEmdHeaderChecksum(std::vector<u8>* bytes, u32 headerSize);
void PutBigEndian32(u8* at, u32 value);

bool WriteBytesToFile(const std::string& path, const std::vector<u8>& bytes);
