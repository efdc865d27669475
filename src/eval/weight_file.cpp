// The weight-file writer used by the tervik-net tool and by the tests' fixtures.
#include "eval/weight_file.h"

#include <cstdio>
#include <cstring>

#include "eval/sha256.h"

static void PutU16(u8* p, u16 v) {
  p[0] = static_cast<u8>(v);
  p[1] = static_cast<u8>(v >> 8);
}
static void PutU32(u8* p, u32 v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<u8>(v >> (8 * i));
}
static i16 GetI16(const u8* p) { return static_cast<i16>(p[0] | (p[1] << 8)); }

std::vector<u8> SerializeWeights(const NnueFileWeights& weights) {
  std::vector<u8> bytes(NnueHashedBytes);
  u8* p = bytes.data();
  for (int row = 0; row < NnueInputs; ++row) {
    for (int j = 0; j < NnueHidden; ++j, p += 2) PutU16(p, static_cast<u16>(weights.feature[row][j]));
  }
  for (int half = 0; half < 2; ++half) {
    for (int j = 0; j < NnueHidden; ++j, p += 2) PutU16(p, static_cast<u16>(weights.output[half][j]));
  }
  PutU32(p, static_cast<u32>(weights.bias));
  return bytes;
}

bool ParseWeights(const u8* data, std::size_t size, NnueFileWeights* weights) {
  if (size != NnueHashedBytes) return false;
  const u8* p = data;
  for (int row = 0; row < NnueInputs; ++row) {
    for (int j = 0; j < NnueHidden; ++j, p += 2) weights->feature[row][j] = GetI16(p);
  }
  for (int half = 0; half < 2; ++half) {
    for (int j = 0; j < NnueHidden; ++j, p += 2) weights->output[half][j] = GetI16(p);
  }
  weights->bias = static_cast<i32>(u32{p[0]} | (u32{p[1]} << 8) | (u32{p[2]} << 16) | (u32{p[3]} << 24));
  return true;
}

void StampWeightHash(std::vector<u8>* image) {
  u8 digest[32];
  Sha256Digest(image->data() + NnueHeaderSize, NnueHashedBytes, digest);
  std::memcpy(image->data() + NnueHashOffset, digest, NnueHashBytes);
}

std::vector<u8> BuildWeightFile(const NnueFileWeights& weights, const NnueFileHeader& header) {
  std::vector<u8> image(NnueHeaderSize);
  std::memcpy(image.data(), header.magic, 4);
  PutU32(&image[NnueVersionOffset], header.version);
  PutU32(&image[NnueArchitectureOffset], header.architecture);
  PutU32(&image[NnueFeatureSetOffset], header.featureSet);
  PutU16(&image[NnueQAOffset], header.qa);
  PutU16(&image[NnueQBOffset], header.qb);
  PutU16(&image[NnueInputsOffset], header.inputs);
  PutU16(&image[NnueHiddenOffset], header.hidden);
  const std::vector<u8> body = SerializeWeights(weights);
  image.insert(image.end(), body.begin(), body.end());
  StampWeightHash(&image);
  return image;
}

bool WriteFileBytes(const char* path, const std::vector<u8>& bytes) {
  std::FILE* file = std::fopen(path, "wb");
  if (file == nullptr) return false;
  const bool written =
      bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return std::fclose(file) == 0 && written;
}
