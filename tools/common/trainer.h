// The training loop: shuffled passes over records in memory, batches whose gradient the worker
// threads compute in fixed slices and reduce in a fixed order (so a run depends only on the
// seed and the thread count), AdamW with a cosine learning rate.
#pragma once

#include <functional>
#include <vector>

#include "common/adamw.h"
#include "common/training_data.h"
#include "common/float_network.h"
#include "common/worker_pool.h"

struct TrainerSettings {
  float lambda = 0.75f;   // weight of the game result in the target
  float rate = 1e-3f;     // learning rate at the start
  float finalRate = 1e-3f * 0.00243f;  // at the last step (0.3^5 of the start)
  int batchSize = 16384;
  int threads = 1;
  u64 seed = 1;
  u64 steps = 0;          // batches in the whole run
  AdamWSettings adam;
};

struct PassReport {
  int pass;              // counted from 1
  u64 stepsDone;         // batches so far
  u64 positions;         // positions trained in this pass
  double trainLoss;      // mean (sigmoid(y) - target)^2 over the pass, before each step
  double validationLoss; // after the pass; negative when there is no validation set
  double seconds;        // wall time of the pass's batches
  double shuffleSeconds; // wall time of the shuffle before them
  float rate;            // learning rate of the pass's last step
};

// Batches per pass: the last batch of a pass may be short.
u64 BatchesPerPass(u64 records, int batchSize);

// Trains *network in place. *records is reshuffled at the start of every pass; a pass ends
// with its last batch or with the last step of the run. report is called after every pass.
void TrainNetwork(FloatNetwork* network, std::vector<TrainingRecord>* records,
                  const std::vector<TrainingRecord>& validation, const TrainerSettings& settings,
                  const std::function<void(const PassReport&)>& report);

// Mean loss of the network over the records (threads share the work).
double MeanLoss(const FloatNetwork& network, const std::vector<TrainingRecord>& records,
                float lambda, WorkerPool* pool);

// Loss of a batch and its gradient, the mean over the batch, summed by one thread: the
// reference the threaded trainer matches and the gradient check's subject.
double BatchLossAndGradient(const FloatNetwork& network, const TrainingRecord* records, int count,
                            float lambda, FloatNetwork* gradient);
