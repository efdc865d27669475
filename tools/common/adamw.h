// AdamW with decoupled weight decay over the network's flat parameter array, and the cosine
// learning-rate schedule of a training run.
#pragma once

#include <memory>

#include "common/float_network.h"

struct AdamWSettings {
  float beta1 = 0.9f;
  float beta2 = 0.999f;
  float epsilon = 1e-8f;
  float weightDecay = 0.01f;
};

struct AdamWState {
  std::unique_ptr<float[]> m;  // first moments, FloatNetwork::Count
  std::unique_ptr<float[]> v;  // second moments
};

AdamWState NewAdamWState();

// One step (step counts from 1) on the parameters [begin, end): decay, moment update, bias-
// corrected move, then the clip of ClipParameters. Slices may run on different threads.
void AdamWStep(FloatNetwork* network, const float* gradient, AdamWState* state, int begin,
               int end, float rate, u64 step, const AdamWSettings& settings);

// Cosine decay from start (step 0) to end (the last step).
float CosineRate(float start, float end, u64 step, u64 totalSteps);
