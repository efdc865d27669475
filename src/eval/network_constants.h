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
