// The optimiser step and the learning-rate schedule.
#include "common/adamw.h"

#include <cmath>
#include <cstring>

AdamWState NewAdamWState() {
  AdamWState state;
  state.m = std::make_unique<float[]>(FloatNetwork::Count);
  state.v = std::make_unique<float[]>(FloatNetwork::Count);
  std::memset(state.m.get(), 0, sizeof(float) * FloatNetwork::Count);
  std::memset(state.v.get(), 0, sizeof(float) * FloatNetwork::Count);
  return state;
}

void AdamWStep(FloatNetwork* network, const float* gradient, AdamWState* state, int begin,
               int end, float rate, u64 step, const AdamWSettings& settings) {
  const double t = static_cast<double>(step);
  const float correction1 = static_cast<float>(1.0 - std::pow(double{settings.beta1}, t));
  const float correction2 = static_cast<float>(1.0 - std::pow(double{settings.beta2}, t));
  const float stepSize = rate / correction1;
  const float rootCorrection2 = std::sqrt(correction2);
  const float decay = 1.0f - rate * settings.weightDecay;
  const float b1 = settings.beta1;
  const float b2 = settings.beta2;
  const float eps = settings.epsilon;
  float* w = network->params;
  float* m = state->m.get();
  float* v = state->v.get();
  for (int i = begin; i < end; ++i) {
    const float g = gradient[i];
    m[i] = b1 * m[i] + (1.0f - b1) * g;
    v[i] = b2 * v[i] + (1.0f - b2) * g * g;
    w[i] = w[i] * decay - stepSize * m[i] / (std::sqrt(v[i]) / rootCorrection2 + eps);
  }
  ClipParameters(network, begin, end);
}

float CosineRate(float start, float end, u64 step, u64 totalSteps) {
  if (totalSteps <= 1) return start;
  const double progress = static_cast<double>(step) / static_cast<double>(totalSteps - 1);
  const double cosine = 0.5 * (1.0 + std::cos(3.141592653589793 * progress));
  return static_cast<float>(end + (start - end) * cosine);
}
