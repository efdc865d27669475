// The trainer's floating-point twin of the engine's network: accumulators in units of the
// activation clip (integer a / 181), clamp(a, 0, 1) squared, and an output y in centipawns / 400.
#pragma once

#include <cmath>
#include <memory>

#include "common/training_features.h"
#include "eval/network_constants.h"

// All parameters in one flat array so that the optimiser and the gradient reduction can treat
// them alike: feature rows in file order, then the two output halves, then the bias.
struct FloatNetwork {
  static constexpr int FeatureOffset = 0;
  static constexpr int OutputOffset = NnueInputs * NnueHidden;
  static constexpr int BiasOffset = OutputOffset + 2 * NnueHidden;
  static constexpr int Count = BiasOffset + 1;  // 197121
  static constexpr int Padded = (Count + 15) / 16 * 16;

  alignas(64) float params[Padded];

  float* FeatureRow(int row) { return params + FeatureOffset + row * NnueHidden; }
  const float* FeatureRow(int row) const { return params + FeatureOffset + row * NnueHidden; }
  // half 0 pairs with the side to move's accumulator, 1 with the other.
  float* Output(int half) { return params + OutputOffset + half * NnueHidden; }
  const float* Output(int half) const { return params + OutputOffset + half * NnueHidden; }
  float& Bias() { return params[BiasOffset]; }
  float Bias() const { return params[BiasOffset]; }
};
static_assert(FloatNetwork::Count == NnueParameterCount);

// Heap allocation with every parameter zero (the record is too large for a stack).
std::unique_ptr<FloatNetwork> NewFloatNetwork();

// Feature weights N(0, sqrt(2 / 768)), output weights N(0, sqrt(2 / 512)), bias 0.
void InitialiseNetwork(FloatNetwork* network, u64 seed);

struct ForwardState {
  alignas(64) float acc[2][NnueHidden];  // [0] side to move, [1] the other side
  float output;                          // y
};

// y = sum clamp(a0,0,1)^2 w0 + sum clamp(a1,0,1)^2 w1 + b.
float NetworkForward(const FloatNetwork& network, const PositionFeatures& features,
                     ForwardState* state);
// Adds dy x d(y)/d(parameter) into gradient for one position whose forward state is given.
void NetworkBackward(const FloatNetwork& network, const PositionFeatures& features,
                     const ForwardState& state, float dy, FloatNetwork* gradient);

// Limits the optimiser keeps so that the quantised weights fit their integers: feature weights
// x 181 in i16 accumulators of 32 pieces, output weights x 64 x 400 in i16, bias x 181 x 181 x
// 64 x 400 in i32.
constexpr float FeatureWeightLimit = 1.98f;
constexpr float OutputWeightLimit = 1.27f;
constexpr float BiasLimit = 2.5f;
void ClipParameters(FloatNetwork* network, int begin, int end);

inline float Sigmoid(float x) { return 1.0f / (1.0f + std::exp(-x)); }
