// Forward and backward passes of the floating-point network, written as plain loops over the
// 256 hidden units that the compiler vectorises.
#include "common/float_network.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "common/rng.h"

namespace {

constexpr int Lanes = 16;  // partial sums for the dot products, one vector register wide

void Accumulate(const FloatNetwork& network, const u16* rows, int count, float* acc) {
  std::memset(acc, 0, sizeof(float) * NnueHidden);
  for (int i = 0; i < count; ++i) {
    const float* row = network.FeatureRow(rows[i]);
    for (int j = 0; j < NnueHidden; ++j) acc[j] += row[j];
  }
}

float ActivatedDot(const float* acc, const float* weights) {
  float partial[Lanes] = {};
  for (int j = 0; j < NnueHidden; j += Lanes) {
    for (int k = 0; k < Lanes; ++k) {
      const float c = std::clamp(acc[j + k], 0.0f, 1.0f);
      partial[k] += c * c * weights[j + k];
    }
  }
  float sum = 0.0f;
  for (int k = 0; k < Lanes; ++k) sum += partial[k];
  return sum;
}

// Output-weight gradient and the accumulator gradient of one half, then the feature rows.
void BackwardHalf(const float* acc, const float* weights, float dy, const u16* rows, int count,
                  float* outputGradient, FloatNetwork* gradient) {
  alignas(64) float accGradient[NnueHidden];
  for (int j = 0; j < NnueHidden; ++j) {
    const float a = acc[j];
    const float c = std::clamp(a, 0.0f, 1.0f);
    outputGradient[j] += dy * c * c;
    // d(c^2)/da = 2a inside the clip, 0 outside it.
    accGradient[j] = (a > 0.0f && a < 1.0f) ? 2.0f * a * weights[j] * dy : 0.0f;
  }
  for (int i = 0; i < count; ++i) {
    float* row = gradient->FeatureRow(rows[i]);
    for (int j = 0; j < NnueHidden; ++j) row[j] += accGradient[j];
  }
}

}  // namespace

std::unique_ptr<FloatNetwork> NewFloatNetwork() {
  auto network = std::make_unique<FloatNetwork>();
  std::memset(network->params, 0, sizeof network->params);
  return network;
}

void InitialiseNetwork(FloatNetwork* network, u64 seed) {
  ToolRng rng(seed);
  const double featureDeviation = std::sqrt(2.0 / NnueInputs);
  const double outputDeviation = std::sqrt(2.0 / (2 * NnueHidden));
  std::memset(network->params, 0, sizeof network->params);
  for (int i = FloatNetwork::FeatureOffset; i < FloatNetwork::OutputOffset; ++i)
    network->params[i] = static_cast<float>(rng.Normal() * featureDeviation);
  for (int i = FloatNetwork::OutputOffset; i < FloatNetwork::BiasOffset; ++i)
    network->params[i] = static_cast<float>(rng.Normal() * outputDeviation);
  ClipParameters(network, 0, FloatNetwork::Count);
}

float NetworkForward(const FloatNetwork& network, const PositionFeatures& features,
                     ForwardState* state) {
  Accumulate(network, features.own, features.count, state->acc[0]);
  Accumulate(network, features.other, features.count, state->acc[1]);
  state->output = ActivatedDot(state->acc[0], network.Output(0)) +
                  ActivatedDot(state->acc[1], network.Output(1)) + network.Bias();
  return state->output;
}

void NetworkBackward(const FloatNetwork& network, const PositionFeatures& features,
                     const ForwardState& state, float dy, FloatNetwork* gradient) {
  BackwardHalf(state.acc[0], network.Output(0), dy, features.own, features.count,
               gradient->Output(0), gradient);
  BackwardHalf(state.acc[1], network.Output(1), dy, features.other, features.count,
               gradient->Output(1), gradient);
  gradient->Bias() += dy;
}

void ClipParameters(FloatNetwork* network, int begin, int end) {
  float* p = network->params;
  const int featureEnd = std::min(end, FloatNetwork::OutputOffset);
  for (int i = begin; i < featureEnd; ++i)
    p[i] = std::clamp(p[i], -FeatureWeightLimit, FeatureWeightLimit);
  const int outputBegin = std::max(begin, FloatNetwork::OutputOffset);
  const int outputEnd = std::min(end, FloatNetwork::BiasOffset);
  for (int i = outputBegin; i < outputEnd; ++i)
    p[i] = std::clamp(p[i], -OutputWeightLimit, OutputWeightLimit);
  if (begin <= FloatNetwork::BiasOffset && FloatNetwork::BiasOffset < end)
    p[FloatNetwork::BiasOffset] = std::clamp(p[FloatNetwork::BiasOffset], -BiasLimit, BiasLimit);
}
