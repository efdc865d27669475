// The float model and the trainer: gradients against finite differences, the colour mirror,
// learning on a small set, determinism and the threaded batch against the one-thread reference.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "common/synthetic_positions.h"
#include "common/trainer.h"

namespace {

std::vector<TrainingRecord> MadeUpRecords(int count, u64 seed) {
  ToolRng rng(seed);
  std::vector<TrainingRecord> records(count);
  for (TrainingRecord& record : records) EXPECT_TRUE(EncodeTrainingRecord(RandomTrainingPosition(&rng), &record));
  return records;
}

TrainerSettings SmallSettings(int threads, u64 steps) {
  TrainerSettings s;
  s.lambda = 0.0f;
  s.batchSize = 256;
  s.threads = threads;
  s.seed = 3;
  s.steps = steps;
  s.finalRate = s.rate * 0.1f;
  return s;
}

void Quiet(const PassReport&) {}

}  // namespace

TEST(FloatNetwork, GradientMatchesFiniteDifferences) {
  const std::vector<TrainingRecord> batch = MadeUpRecords(4, 11);
  auto network = NewFloatNetwork();
  InitialiseNetwork(network.get(), 7);
  network->Bias() = 0.1f;
  auto gradient = NewFloatNetwork();
  auto scratch = NewFloatNetwork();
  const float lambda = 0.5f;
  BatchLossAndGradient(*network, batch.data(), 4, lambda, gradient.get());

  // Feature weights are only checked where no accumulator of the unit lies near a kink of the
  // clip, so that the step h cannot cross it.
  PositionFeatures features[4];
  ForwardState states[4];
  for (int i = 0; i < 4; ++i) {
    ExtractFeatures(batch[i], &features[i]);
    NetworkForward(*network, features[i], &states[i]);
  }
  const float h = 1e-2f;
  auto farFromKinks = [&](int row, int unit) {
    for (int i = 0; i < 4; ++i) {
      for (int k = 0; k < features[i].count; ++k) {
        for (int half = 0; half < 2; ++half) {
          const u16 r = half == 0 ? features[i].own[k] : features[i].other[k];
          const float a = states[i].acc[half][unit];
          if (r == row && (std::fabs(a) < 5 * h || std::fabs(a - 1.0f) < 5 * h)) return false;
        }
      }
    }
    return true;
  };

  std::vector<int> indices = {FloatNetwork::BiasOffset};
  for (int j = 0; j < NnueHidden; j += 37) {
    indices.push_back(FloatNetwork::OutputOffset + j);
    indices.push_back(FloatNetwork::OutputOffset + NnueHidden + j);
  }
  int featureChecks = 0;
  for (int i = 0; i < 4 && featureChecks < 40; ++i) {
    for (int k = 0; k < features[i].count && featureChecks < 40; k += 3) {
      for (int unit = k % 7; unit < NnueHidden && featureChecks < 40; unit += 61) {
        const int row = (k & 1) ? features[i].other[k] : features[i].own[k];
        if (!farFromKinks(row, unit)) continue;
        indices.push_back(row * NnueHidden + unit);
        ++featureChecks;
      }
    }
  }
  ASSERT_GE(featureChecks, 20);

  int meaningful = 0;
  for (int index : indices) {
    std::memcpy(scratch->params, network->params, sizeof network->params);
    scratch->params[index] += h;
    const double up = BatchLossAndGradient(*scratch, batch.data(), 4, lambda, gradient.get());
    scratch->params[index] -= 2 * h;
    const double down = BatchLossAndGradient(*scratch, batch.data(), 4, lambda, gradient.get());
    BatchLossAndGradient(*network, batch.data(), 4, lambda, gradient.get());
    const double numeric = (up - down) / (2.0 * h);
    const double analytic = gradient->params[index];
    EXPECT_NEAR(analytic, numeric, 0.02 * std::fabs(numeric) + 2e-6) << "parameter " << index;
    if (std::fabs(numeric) > 1e-4) ++meaningful;
  }
  EXPECT_GE(meaningful, 10);  // the check saw real gradients, not only zeros
}

TEST(FloatNetwork, ColourFlippedTwinGivesTheSameOutput) {
  auto network = NewFloatNetwork();
  InitialiseNetwork(network.get(), 21);
  ToolRng rng(8);
  for (int i = 0; i < 500; ++i) {
    const TrainingPosition p = RandomTrainingPosition(&rng);
    PositionFeatures a, b;
    ExtractFeatures(p, &a);
    ExtractFeatures(ColourFlipped(p), &b);
    ForwardState sa, sb;
    const float ya = NetworkForward(*network, a, &sa);
    const float yb = NetworkForward(*network, b, &sb);
    ASSERT_NEAR(ya, yb, 1e-5f) << TrainingPositionFen(p);
    // Same target from the side to move's view, too.
    TrainingRecord ra, rb;
    ASSERT_TRUE(EncodeTrainingRecord(p, &ra));
    ASSERT_TRUE(EncodeTrainingRecord(ColourFlipped(p), &rb));
    ASSERT_FLOAT_EQ(TrainingTarget(ra, 0.3f), TrainingTarget(rb, 0.3f));
  }
}

TEST(Trainer, TargetBlendsResultAndScoreForTheSideToMove) {
  ToolRng rng(1);
  TrainingPosition p = RandomTrainingPosition(&rng);
  p.score = 400;
  p.result = WhiteWin;
  const float expected = 1.0f / (1.0f + std::exp(-1.0f));
  for (u8 side : {u8{White}, u8{Black}}) {
    p.sideToMove = side;
    TrainingRecord record;
    ASSERT_TRUE(EncodeTrainingRecord(p, &record));
    const float win = side == White ? 1.0f : 0.0f;
    const float score = side == White ? expected : 1.0f - expected;
    EXPECT_FLOAT_EQ(TrainingTarget(record, 1.0f), win);
    EXPECT_FLOAT_EQ(TrainingTarget(record, 0.0f), score);
    EXPECT_NEAR(TrainingTarget(record, 0.25f), 0.25f * win + 0.75f * score, 1e-6f);
  }
}

TEST(Trainer, LossFallsOnASmallFixedSet) {
  std::vector<TrainingRecord> records = MadeUpRecords(4000, 12);
  const std::vector<TrainingRecord> fixed = records;
  auto network = NewFloatNetwork();
  InitialiseNetwork(network.get(), 3);
  WorkerPool pool(2);
  const double before = MeanLoss(*network, fixed, 0.0f, &pool);
  std::vector<double> trainLosses;
  TrainNetwork(network.get(), &records, {}, SmallSettings(2, 6 * BatchesPerPass(4000, 256)),
               [&](const PassReport& r) { trainLosses.push_back(r.trainLoss); });
  const double after = MeanLoss(*network, fixed, 0.0f, &pool);
  ASSERT_EQ(trainLosses.size(), 6u);
  EXPECT_LT(after, 0.5 * before);
  EXPECT_LT(trainLosses.back(), trainLosses.front());
}

TEST(Trainer, SameSeedAndThreadsGiveTheSameNetwork) {
  auto first = NewFloatNetwork();
  auto second = NewFloatNetwork();
  for (FloatNetwork* network : {first.get(), second.get()}) {
    std::vector<TrainingRecord> records = MadeUpRecords(3000, 13);
    InitialiseNetwork(network, 5);
    TrainNetwork(network, &records, {}, SmallSettings(3, 30), Quiet);
  }
  EXPECT_EQ(std::memcmp(first->params, second->params, sizeof first->params), 0);
}

// One step over one batch: the threads' slices and the reduction must give the step of the
// one-thread reference, up to rounding (AdamW's first step moves almost by the gradient's sign,
// so a parameter whose gradient cancels to rounding noise may go either way).
TEST(Trainer, ThreadedStepEqualsTheReferenceStep) {
  const int count = 1000;
  std::vector<TrainingRecord> records = MadeUpRecords(count, 14);
  auto reference = NewFloatNetwork();
  InitialiseNetwork(reference.get(), 9);
  auto threaded = NewFloatNetwork();
  std::memcpy(threaded->params, reference->params, sizeof reference->params);

  TrainerSettings settings = SmallSettings(4, 1);
  settings.batchSize = count;
  auto gradient = NewFloatNetwork();
  BatchLossAndGradient(*reference, records.data(), count, settings.lambda, gradient.get());
  AdamWState state = NewAdamWState();
  AdamWStep(reference.get(), gradient->params, &state, 0, FloatNetwork::Count, settings.rate, 1,
            settings.adam);

  TrainNetwork(threaded.get(), &records, {}, settings, Quiet);
  int differing = 0;
  for (int i = 0; i < FloatNetwork::Count; ++i)
    if (std::fabs(reference->params[i] - threaded->params[i]) > 1e-6f) ++differing;
  EXPECT_LE(differing, 50);
}

TEST(Trainer, ParametersStayWithinTheirLimits) {
  std::vector<TrainingRecord> records = MadeUpRecords(2000, 15);
  auto network = NewFloatNetwork();
  InitialiseNetwork(network.get(), 4);
  TrainerSettings settings = SmallSettings(2, 40);
  settings.rate = 0.5f;  // far too large: drives weights into the clip
  settings.finalRate = 0.5f;
  settings.adam.weightDecay = 0.0f;
  TrainNetwork(network.get(), &records, {}, settings, Quiet);
  float featureMax = 0.0f, outputMax = 0.0f;
  for (int i = 0; i < FloatNetwork::OutputOffset; ++i)
    featureMax = std::max(featureMax, std::fabs(network->params[i]));
  for (int i = FloatNetwork::OutputOffset; i < FloatNetwork::BiasOffset; ++i)
    outputMax = std::max(outputMax, std::fabs(network->params[i]));
  EXPECT_FLOAT_EQ(featureMax, FeatureWeightLimit);
  EXPECT_FLOAT_EQ(outputMax, OutputWeightLimit);
  EXPECT_LE(std::fabs(network->Bias()), BiasLimit);
}

TEST(Trainer, CosineRateRunsFromStartToEnd) {
  EXPECT_FLOAT_EQ(CosineRate(1e-3f, 1e-5f, 0, 101), 1e-3f);
  EXPECT_FLOAT_EQ(CosineRate(1e-3f, 1e-5f, 50, 101), 0.5f * (1e-3f + 1e-5f));
  EXPECT_FLOAT_EQ(CosineRate(1e-3f, 1e-5f, 100, 101), 1e-5f);
  EXPECT_EQ(BatchesPerPass(16385, 16384), 2u);
  EXPECT_EQ(BatchesPerPass(16384, 16384), 1u);
}
