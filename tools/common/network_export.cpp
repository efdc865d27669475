// Quantisation and the weight-file round trip.
#include "common/network_export.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <memory>
#include <vector>

#include "board/board.h"
#include "eval/network.h"
#include "eval/nnue.h"

template <typename T>
static T Quantise(float value, double scale) {
  const double q = std::round(static_cast<double>(value) * scale);
  const double low = static_cast<double>(std::numeric_limits<T>::min());
  const double high = static_cast<double>(std::numeric_limits<T>::max());
  return static_cast<T>(std::clamp(q, low, high));
}

void QuantiseNetwork(const FloatNetwork& network, NnueFileWeights* weights) {
  for (int row = 0; row < NnueInputs; ++row) {
    const float* w = network.FeatureRow(row);
    for (int j = 0; j < NnueHidden; ++j) weights->feature[row][j] = Quantise<i16>(w[j], FeatureScale);
  }
  for (int half = 0; half < 2; ++half) {
    const float* w = network.Output(half);
    for (int j = 0; j < NnueHidden; ++j) weights->output[half][j] = Quantise<i16>(w[j], OutputScale);
  }
  weights->bias = Quantise<i32>(network.Bias(), BiasScale);
}

void DequantiseNetwork(const NnueFileWeights& weights, FloatNetwork* network) {
  for (int row = 0; row < NnueInputs; ++row) {
    float* w = network->FeatureRow(row);
    for (int j = 0; j < NnueHidden; ++j)
      w[j] = static_cast<float>(weights.feature[row][j] / FeatureScale);
  }
  for (int half = 0; half < 2; ++half) {
    float* w = network->Output(half);
    for (int j = 0; j < NnueHidden; ++j)
      w[j] = static_cast<float>(weights.output[half][j] / OutputScale);
  }
  network->Bias() = static_cast<float>(weights.bias / BiasScale);
}

bool WriteNetworkFile(const char* path, const FloatNetwork& network) {
  auto weights = std::make_unique<NnueFileWeights>();
  QuantiseNetwork(network, weights.get());
  return WriteFileBytes(path, BuildWeightFile(*weights));
}

bool ReadNetworkFile(const char* path, FloatNetwork* network, std::string* error) {
  std::vector<u8> bytes;
  std::FILE* file = std::fopen(path, "rb");
  if (file != nullptr) {
    u8 chunk[65536];
    std::size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0)
      bytes.insert(bytes.end(), chunk, chunk + got);
    std::fclose(file);
  }
  auto checked = std::make_unique<NnueNetwork>();
  const NetworkLoadResult result = ReadNetworkImage(path, bytes.data(), bytes.size(), checked.get());
  if (file == nullptr || result.status != 0) {
    *error = file == nullptr ? std::string("cannot open ") + path : result.message;
    while (!error->empty() && (error->back() == '\n' || error->back() == '\r')) error->pop_back();
    return false;
  }
  auto weights = std::make_unique<NnueFileWeights>();
  if (!ParseWeights(bytes.data() + NnueHeaderSize, NnueHashedBytes, weights.get())) {
    *error = std::string("cannot read the weights of ") + path;
    return false;
  }
  DequantiseNetwork(*weights, network);
  return true;
}

ExportCheck CompareWithEngine(const FloatNetwork& network, const std::vector<TrainingRecord>& records,
                              int limit) {
  ExportCheck check{0, 0.0, 0.0};
  auto weights = std::make_unique<NnueFileWeights>();
  QuantiseNetwork(network, weights.get());
  const std::vector<u8> image = BuildWeightFile(*weights);
  if (ReadNetworkImage("export", image.data(), image.size(), &Network).status != 0) return check;
  Board board;
  for (std::size_t i = 0; i < records.size() && check.positions < limit; ++i) {
    TrainingPosition position;
    if (!DecodeTrainingRecord(records[i], &position) || !TrainingPositionToBoard(position, &board))
      continue;
    Accumulator acc;
    RefreshAccumulator(&board, &acc);
    const i32 engine =
        std::clamp(NnueRawOutput(&acc, SideToMove(&board)), -NnueScoreClamp, NnueScoreClamp);
    PositionFeatures features;
    ExtractFeatures(records[i], &features);
    ForwardState state;
    const double difference =
        std::fabs(engine - static_cast<double>(ScoreScale) * NetworkForward(network, features, &state));
    check.meanDifference += difference;
    check.worstDifference = std::max(check.worstDifference, difference);
    ++check.positions;
  }
  if (check.positions) check.meanDifference /= check.positions;
  return check;
}
