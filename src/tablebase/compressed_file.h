// Compressed tablebase files (".emd"): the header block that describes the blocks and the
// file's prefix code, and the decoder that turns one block's bytes back into its values.
#pragma once

#include <cstdio>
#include <memory>

#include "board/types.h"
#include "tablebase/prefix_code.h"

constexpr u32 MatchDistanceCount = 24;
// Room a decoded block needs beyond its values: copies are written in 4- and 16-byte pieces.
constexpr u32 DecodeOutputSlack = 36;

struct CompressedTableInfo {
  i16 decodeTable[MainDecodeTableSize];
  i32 MatchDistance[MatchDistanceCount];
  std::unique_ptr<u32[]> BlockOffsets;  // blockCount + 1 file offsets; the last ends the file
  u32 log2BlockSize;
  u32 blockSize;
  u32 lastBlockSize;
  u32 blockCount;
};

// Error codes: (location << 8) | kind.
enum CompressedFileErrorKind : u32 {
  TbErrorRead = 2,
  TbErrorMemory = 5,
  TbErrorBroken = 6,
};
constexpr u32 TbErrorShortHeader = 0x2a002;       // fewer than 80 bytes
constexpr u32 TbErrorBanner = 0x2a302;            // bytes 0..63 are not a banner
constexpr u32 TbErrorHeaderSize = 0x2ac06;        // H < 84 or H >= 2^31, L = 0 or L > 16
constexpr u32 TbErrorDistanceCount = 0x2af06;     // byte 71 is not 24
constexpr u32 TbErrorFixedBytes = 0x2b206;        // bytes 76..79 are not 00 40 01 F5
constexpr u32 TbErrorHeaderMemory = 0x2b505;
constexpr u32 TbErrorHeaderRead = 0x2ba02;         // also: H passes the end of the file
constexpr u32 TbErrorChecksum = 0x2c106;
constexpr u32 TbErrorBlockCount = 0x2c506;        // n = 0, or the header block cannot hold n
constexpr u32 TbErrorInfoMemory = 0x2c905;
constexpr u32 TbErrorCodeLengths = 0x2fa06;
constexpr u32 TbErrorMainCode = 0x30106;
constexpr u32 TbErrorBlocksPastEnd = 0x30806;     // the blocks run past the end of the file

constexpr u32 TbHeaderFixedSize = 80;
constexpr u32 TbBannerSize = 64;

// Reads and checks the header block from the file's current position (its start). On success
// returns 0 and sets *info; otherwise returns the error code and leaves *info null. The file
// stays open; its position is not used afterwards.
u32 OpenCompressedTablebaseFile(CompressedTableInfo** info, FILE* file);

// Writes the u values of one block from its c compressed bytes into output, which must have
// DecodeOutputSlack bytes of room beyond u. False when the bytes do not form a valid block (a
// copy from outside the output written so far, or a stream longer than c bytes).
bool DecodeTablebaseBlock(const CompressedTableInfo* info, const u8* input, u32 c, u32 u,
                          u8* output);
