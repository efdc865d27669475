// Every size and constant of the evaluation network and its weight file, in one place.
#pragma once

#include <cstddef>

#include "board/types.h"

constexpr int NnueInputs = 768;        // 12 piece kinds x 64 squares, per perspective
constexpr int NnueHidden = 256;        // hidden units per perspective
constexpr int NnueQA = 181;            // activation clip
constexpr int NnueQB = 64;             // output scale
constexpr i64 NnueOutputDivisor = static_cast<i64>(NnueQA) * NnueQA * NnueQB;  // 2096704
constexpr int NnueScoreClamp = 10000;

constexpr u32 NnueArchitectureId = 1;
constexpr u32 NnueFeatureSet = 1;

// Weight file layout (little-endian).
constexpr std::size_t NnueHeaderSize = 32;
constexpr std::size_t NnueFeatureBytes = std::size_t{NnueInputs} * NnueHidden * 2;
constexpr std::size_t NnueOutputWeightBytes = 2 * std::size_t{NnueHidden} * 2;
constexpr std::size_t NnueOutputWeightOffset = NnueHeaderSize + NnueFeatureBytes;      // 393248
constexpr std::size_t NnueBiasOffset = NnueOutputWeightOffset + NnueOutputWeightBytes;  // 394272
constexpr std::size_t NnueFileSize = NnueBiasOffset + 4;                                // 394276
constexpr int NnueParameterCount = NnueInputs * NnueHidden + 2 * NnueHidden + 1;        // 197121

static_assert(NnueFileSize == 394276);

// Header fields and their offsets.
inline constexpr char NnueMagic[4] = {'K', 'V', 'A', 'R'};
constexpr u32 NnueVersionFirst = 1;  // versions 1 and 2 are read the same way
constexpr u32 NnueVersionLast = 2;
constexpr u32 NnueVersionWritten = 1;
constexpr std::size_t NnueVersionOffset = 4;
constexpr std::size_t NnueArchitectureOffset = 8;
constexpr std::size_t NnueFeatureSetOffset = 12;
constexpr std::size_t NnueQAOffset = 16;
constexpr std::size_t NnueQBOffset = 18;
constexpr std::size_t NnueInputsOffset = 20;
constexpr std::size_t NnueHiddenOffset = 22;
constexpr std::size_t NnueHashOffset = 24;
constexpr std::size_t NnueHashBytes = 8;  // leading bytes of the SHA-256 digest kept in the header
// The hash covers everything after the header up to the bias, trailing bytes excluded.
constexpr std::size_t NnueHashedBytes = NnueFileSize - NnueHeaderSize;  // 394244

// Feature rows: 12 blocks of 64 squares; blocks 0-5 the perspective's own P N B R Q K,
// 6-11 the opponent's.
constexpr int NnueBlocks = 12;
constexpr int NnueOpponentBlock = 6;

// Exit statuses of a failed load.
constexpr int NnueExitNoPath = 10;
constexpr int NnueExitBadFile = 1;
