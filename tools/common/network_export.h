// Between the float model and the engine's weight file: quantising for export and reading a
// weight file back as a starting point.
#pragma once

#include <string>
#include <vector>

#include "common/float_network.h"
#include "eval/weight_file.h"

// Quantisation scales: feature weights x 181, output weights x 64 x 400 (the engine divides by
// 181 x 181 x 64 and has no x 400 of its own), bias x 181 x 181 x 64 x 400.
constexpr double FeatureScale = NnueQA;
constexpr double OutputScale = double{NnueQB} * ScoreScale;
constexpr double BiasScale = double{NnueQA} * NnueQA * NnueQB * ScoreScale;

// Rounds to nearest and saturates at the integer range (the optimiser's limits keep every value
// inside it already).
void QuantiseNetwork(const FloatNetwork& network, NnueFileWeights* weights);
void DequantiseNetwork(const NnueFileWeights& weights, FloatNetwork* network);

// Writes a complete weight file with header and hash; false when it cannot be written.
bool WriteNetworkFile(const char* path, const FloatNetwork& network);
// Reads a weight file through the engine's own checks; on failure *error holds the loader's
// message and *network is unchanged.
bool ReadNetworkFile(const char* path, FloatNetwork* network, std::string* error);

// The engine's evaluation of the exported network against the float model on up to `limit`
// records (those the board refuses are skipped): installs the quantised weights as the engine's
// process-wide network and compares its output (no recognisers) with 400 x y.
struct ExportCheck {
  int positions;
  double meanDifference;   // centipawns
  double worstDifference;
};
ExportCheck CompareWithEngine(const FloatNetwork& network, const std::vector<TrainingRecord>& records,
                              int limit);
