// Weight files for the evaluation tests, made with the library's writer.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "eval/network.h"
#include "eval/weight_file.h"

// Random weights of a given range; the seed makes them repeatable.
inline std::unique_ptr<NnueFileWeights> RandomFileWeights(u32 seed, int featureRange = 60,
                                                          int outputRange = 32767) {
  auto w = std::make_unique<NnueFileWeights>();
  std::mt19937 rng(seed);
  std::uniform_int_distribution<int> feature(-featureRange, featureRange);
  std::uniform_int_distribution<int> output(-outputRange, outputRange);
  for (auto& row : w->feature)
    for (i16& x : row) x = static_cast<i16>(feature(rng));
  for (auto& half : w->output)
    for (i16& x : half) x = static_cast<i16>(output(rng));
  w->bias = static_cast<i32>(rng()) / 4;
  return w;
}

// A file in the test's temporary directory, removed when the object goes.
struct TempFile {
  std::string path;
  explicit TempFile(const std::string& name)
      : path(std::string(::testing::TempDir()) + "tervik_" + name) {}
  ~TempFile() { std::remove(path.c_str()); }
  bool Write(const std::vector<u8>& bytes) const { return WriteFileBytes(path.c_str(), bytes); }
};

// Installs the weights as the process-wide network, through the loader's own checks.
inline bool InstallNetwork(const NnueFileWeights& weights) {
  const std::vector<u8> image = BuildWeightFile(weights);
  return ReadNetworkImage("fixture", image.data(), image.size(), &Network).status == 0;
}

// A network whose output is the bias alone: raw score = bias / (181 * 181 * 64).
inline void InstallBiasNetwork(i64 bias) {
  auto w = std::make_unique<NnueFileWeights>();
  std::memset(w.get(), 0, sizeof *w);
  w->bias = static_cast<i32>(bias);
  ASSERT_TRUE(InstallNetwork(*w));
}

inline std::string ShippedNetworkPath() {
  return std::string(TERVIK_SOURCE_DIR) + "/nets/gen0-material.nnue";
}
