// Batches, passes and the threads' share of each.
#include "common/trainer.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <memory>

namespace {

// Slices of the parameter array handed to the threads in the reduction: whole vectors.
constexpr int SliceGranule = 16;

// Forward, loss and backward of one position; dy is scaled by `scale` (1 / batch size).
double PositionStep(const FloatNetwork& network, const TrainingRecord& record, float lambda,
                    float scale, FloatNetwork* gradient) {
  PositionFeatures features;
  ExtractFeatures(record, &features);
  ForwardState state;
  const float p = Sigmoid(NetworkForward(network, features, &state));
  const float error = p - TrainingTarget(record, lambda);
  const float dy = 2.0f * error * p * (1.0f - p) * scale;
  NetworkBackward(network, features, state, dy, gradient);
  return static_cast<double>(error) * error;
}

double PositionLoss(const FloatNetwork& network, const TrainingRecord& record, float lambda) {
  PositionFeatures features;
  ExtractFeatures(record, &features);
  ForwardState state;
  const float error = Sigmoid(NetworkForward(network, features, &state)) -
                      TrainingTarget(record, lambda);
  return static_cast<double>(error) * error;
}

void ZeroNetwork(FloatNetwork* network) {
  std::memset(network->params, 0, sizeof network->params);
}

int ParameterSplit(int parts, int part) {
  const int granules = (FloatNetwork::Count + SliceGranule - 1) / SliceGranule;
  return std::min(FloatNetwork::Count,
                  static_cast<int>(SplitPoint(granules, parts, part)) * SliceGranule);
}

double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

}  // namespace

u64 BatchesPerPass(u64 records, int batchSize) {
  const u64 size = static_cast<u64>(batchSize < 1 ? 1 : batchSize);
  return (records + size - 1) / size;
}

double BatchLossAndGradient(const FloatNetwork& network, const TrainingRecord* records, int count,
                            float lambda, FloatNetwork* gradient) {
  ZeroNetwork(gradient);
  if (count <= 0) return 0.0;
  double loss = 0.0;
  const float scale = 1.0f / static_cast<float>(count);
  for (int i = 0; i < count; ++i) loss += PositionStep(network, records[i], lambda, scale, gradient);
  return loss / count;
}

double MeanLoss(const FloatNetwork& network, const std::vector<TrainingRecord>& records,
                float lambda, WorkerPool* pool) {
  if (records.empty()) return 0.0;
  std::vector<double> sums(pool->Size(), 0.0);
  const long long count = static_cast<long long>(records.size());
  pool->Run([&](int t) {
    double sum = 0.0;
    const long long end = SplitPoint(count, pool->Size(), t + 1);
    for (long long i = SplitPoint(count, pool->Size(), t); i < end; ++i)
      sum += PositionLoss(network, records[i], lambda);
    sums[t] = sum;
  });
  double total = 0.0;
  for (double sum : sums) total += sum;
  return total / static_cast<double>(count);
}

void TrainNetwork(FloatNetwork* network, std::vector<TrainingRecord>* records,
                  const std::vector<TrainingRecord>& validation, const TrainerSettings& settings,
                  const std::function<void(const PassReport&)>& report) {
  if (records->empty() || settings.steps == 0) return;
  WorkerPool pool(settings.threads);
  const int threads = pool.Size();
  std::vector<std::unique_ptr<FloatNetwork>> gradients;
  for (int t = 0; t < threads; ++t) gradients.push_back(NewFloatNetwork());
  std::vector<double> losses(threads, 0.0);
  AdamWState optimiser = NewAdamWState();
  ToolRng shuffleRng(settings.seed);

  const u64 recordCount = records->size();
  const u64 batchSize = static_cast<u64>(std::max(1, settings.batchSize));
  const u64 perPass = BatchesPerPass(recordCount, settings.batchSize);
  u64 step = 0;
  for (int pass = 1; step < settings.steps; ++pass) {
    const auto shuffleStarted = std::chrono::steady_clock::now();
    ShuffleRecords(records, &shuffleRng);
    const double shuffleSeconds = Seconds(shuffleStarted);
    const auto started = std::chrono::steady_clock::now();
    double lossSum = 0.0;
    u64 positions = 0;
    float rate = settings.rate;
    for (u64 batch = 0; batch < perPass && step < settings.steps; ++batch) {
      const TrainingRecord* first = records->data() + batch * batchSize;
      const long long count =
          static_cast<long long>(std::min(batchSize, recordCount - batch * batchSize));
      const float scale = 1.0f / static_cast<float>(count);
      rate = CosineRate(settings.rate, settings.finalRate, step, settings.steps);
      ++step;
      pool.Run([&](int t) {
        FloatNetwork* gradient = gradients[t].get();
        ZeroNetwork(gradient);
        double sum = 0.0;
        const long long end = SplitPoint(count, threads, t + 1);
        for (long long i = SplitPoint(count, threads, t); i < end; ++i)
          sum += PositionStep(*network, first[i], settings.lambda, scale, gradient);
        losses[t] = sum;
      });
      pool.Run([&](int t) {
        const int begin = ParameterSplit(threads, t);
        const int end = ParameterSplit(threads, t + 1);
        float* total = gradients[0]->params;
        for (int k = 1; k < threads; ++k) {
          const float* part = gradients[k]->params;
          for (int i = begin; i < end; ++i) total[i] += part[i];
        }
        AdamWStep(network, total, &optimiser, begin, end, rate, step, settings.adam);
      });
      for (double loss : losses) lossSum += loss;
      positions += static_cast<u64>(count);
    }
    PassReport pr;
    pr.pass = pass;
    pr.stepsDone = step;
    pr.positions = positions;
    pr.trainLoss = positions ? lossSum / static_cast<double>(positions) : 0.0;
    pr.seconds = Seconds(started);
    pr.shuffleSeconds = shuffleSeconds;
    pr.validationLoss =
        validation.empty() ? -1.0 : MeanLoss(*network, validation, settings.lambda, &pool);
    pr.rate = rate;
    report(pr);
  }
}
