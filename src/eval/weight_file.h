// Writing weight files: the header, the weights in file order and the hash over them.
#pragma once

#include <cstddef>
#include <vector>

#include "eval/network_constants.h"

// Header fields as written; the defaults are the values the loader requires.
struct NnueFileHeader {
  char magic[4] = {NnueMagic[0], NnueMagic[1], NnueMagic[2], NnueMagic[3]};
  u32 version = NnueVersionWritten;
  u32 architecture = NnueArchitectureId;
  u32 featureSet = NnueFeatureSet;
  u16 qa = NnueQA;
  u16 qb = NnueQB;
  u16 inputs = NnueInputs;
  u16 hidden = NnueHidden;
};

// Weights in file order: feature row = 64 * block + square numbered rank by rank from the
// perspective's own side (a1 = 0, b1 = 1, ... for White; mirrored vertically for Black).
struct NnueFileWeights {
  i16 feature[NnueInputs][NnueHidden];
  i16 output[2][NnueHidden];  // [0] side to move's half, [1] the other half
  i32 bias;
};

// The file row of a piece kind (0 pawn .. 5 king), own or opponent's, on a square counted rank
// by rank from the perspective's own side.
constexpr u32 FileFeatureRow(bool own, u32 kind, u32 relativeSquare) {
  return 64 * ((own ? 0 : NnueOpponentBlock) + kind) + relativeSquare;
}

// The whole file image (NnueFileSize bytes), its hash computed over the weights written.
std::vector<u8> BuildWeightFile(const NnueFileWeights& weights, const NnueFileHeader& header = {});
// Recomputes bytes 24..31 of an image of at least NnueFileSize bytes from its weight bytes.
void StampWeightHash(std::vector<u8>* image);
// Little-endian weights without header (NnueHashedBytes bytes), as a trainer would write them.
std::vector<u8> SerializeWeights(const NnueFileWeights& weights);
bool ParseWeights(const u8* data, std::size_t size, NnueFileWeights* weights);
bool WriteFileBytes(const char* path, const std::vector<u8>& bytes);
