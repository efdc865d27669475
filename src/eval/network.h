// The process-wide evaluation network and the loader that reads and checks its weight file.
#pragma once

#include <string>

#include "eval/network_constants.h"

struct NnueNetwork {
  u16 loaded;  // 1 after a successful load
  alignas(64) i16 featureWeights[NnueInputs][NnueHidden];  // row = 64 * block + file-major square
  alignas(64) i16 outputWeights[2][NnueHidden];  // [0] side to move's half, [1] the other half
  i32 outputBias;
  u32 featureIndex[2][NnueInputs];  // [perspective][64 * piece code + square] -> featureWeights row
};

extern NnueNetwork Network;

// The featureWeights row of a piece on a file-major square, seen from one perspective.
constexpr u32 FeatureRow(u32 perspective, u32 piece, u32 square) {
  return perspective == White ? 64 * (6 * (piece & 1) + (piece >> 1)) + square
                              : 64 * (6 * (1 - (piece & 1)) + (piece >> 1)) + (square ^ 7);
}
// The engine row of a file row: the file numbers squares rank by rank, the engine file by file.
constexpr u32 EngineRowOfFileRow(u32 fileRow) {
  return 64 * (fileRow / 64) + 8 * (fileRow % 8) + (fileRow / 8) % 8;
}

struct NetworkLoadResult {
  int status;           // 0 loaded, else the exit status of the failure
  std::string message;  // the line the loader prints, "\r\n" included
};

// Reads and checks the weight file; only when every check passes is *network filled (loaded = 1).
NetworkLoadResult ReadNetwork(const char* path, NnueNetwork* network);
// Checks an image already in memory; the path only appears in messages.
NetworkLoadResult ReadNetworkImage(const char* path, const u8* data, std::size_t size,
                                   NnueNetwork* network);
// Loads Network from the file, printing the outcome on standard error; ends the process on failure.
void LoadNetwork(const char* path);
