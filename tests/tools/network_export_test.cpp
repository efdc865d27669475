// The exported network in the engine: its integer evaluation against the float model, the
// colour mirror in integers, and the weight-file round trip.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "board/board.h"
#include "common/network_export.h"
#include "common/synthetic_positions.h"
#include "common/trainer.h"
#include "eval/network.h"
#include "eval/nnue.h"

namespace {

// A network briefly trained on made-up material scores, so that its weights have the spread of
// a trained one rather than of the random start. Made once for all the tests.
std::vector<TrainingPosition> GamePositions(int count, u64 seed) {
  ToolRng rng(seed);
  std::vector<TrainingPosition> positions;
  RandomGamePositions(&rng, count, &positions);
  return positions;
}

std::unique_ptr<FloatNetwork> MakeTrainedNetwork() {
  const std::vector<TrainingPosition> positions = GamePositions(6000, 31);
  std::vector<TrainingRecord> records(positions.size());
  for (std::size_t i = 0; i < positions.size(); ++i) EncodeTrainingRecord(positions[i], &records[i]);
  auto network = NewFloatNetwork();
  InitialiseNetwork(network.get(), 17);
  TrainerSettings settings;
  settings.lambda = 0.0f;
  settings.batchSize = 512;
  settings.threads = 2;
  settings.rate = 1e-3f;
  settings.steps = 8 * BatchesPerPass(records.size(), settings.batchSize);
  TrainNetwork(network.get(), &records, {}, settings, [](const PassReport&) {});
  return network;
}

const FloatNetwork& TrainedNetwork() {
  static const std::unique_ptr<FloatNetwork> network = MakeTrainedNetwork();
  return *network;
}

bool Install(const FloatNetwork& network) {
  auto weights = std::make_unique<NnueFileWeights>();
  QuantiseNetwork(network, weights.get());
  const std::vector<u8> image = BuildWeightFile(*weights);
  return ReadNetworkImage("trained", image.data(), image.size(), &Network).status == 0;
}

// The engine's network output for the position, clamped as the evaluation clamps it.
bool EngineScore(const TrainingPosition& position, i32* score) {
  Board board;
  if (!TrainingPositionToBoard(position, &board)) return false;
  Accumulator acc;
  RefreshAccumulator(&board, &acc);
  *score = std::clamp(NnueRawOutput(&acc, SideToMove(&board)), -NnueScoreClamp, NnueScoreClamp);
  return true;
}

float FloatScore(const FloatNetwork& network, const TrainingPosition& position) {
  PositionFeatures features;
  ExtractFeatures(position, &features);
  ForwardState state;
  return ScoreScale * NetworkForward(network, features, &state);
}

std::string TempPath(const char* name) { return std::string(::testing::TempDir()) + name; }

}  // namespace

// Two comparisons per position: with the float model on the dequantised weights the engine must
// agree to its truncation toward zero (any layout, sign or scale slip shows here at once); with
// the float model it was exported from, the gap is the rounding of the weights, mostly the 1/181
// step of the feature weights summed over the active units.
TEST(NetworkExport, EngineAgreesWithTheFloatModel) {
  struct Case {
    const char* name;
    std::unique_ptr<FloatNetwork> network;
    double meanLimit;  // centipawns
    double worstLimit;
  };
  Case cases[2] = {{"trained", NewFloatNetwork(), 4.0, 30.0}, {"fresh", NewFloatNetwork(), 2.0, 12.0}};
  *cases[0].network = TrainedNetwork();
  InitialiseNetwork(cases[1].network.get(), 23);
  for (const Case& c : cases) {
    ASSERT_TRUE(Install(*c.network));
    auto weights = std::make_unique<NnueFileWeights>();
    QuantiseNetwork(*c.network, weights.get());
    auto dequantised = NewFloatNetwork();
    DequantiseNetwork(*weights, dequantised.get());
    int compared = 0;
    double sum = 0.0, worst = 0.0, spread = 0.0;
    for (const TrainingPosition& p : GamePositions(5000, 41)) {
      i32 engine;
      ASSERT_TRUE(EngineScore(p, &engine)) << TrainingPositionFen(p);
      const double exact = FloatScore(*dequantised, p);
      ASSERT_LE(std::fabs(engine - exact), 1.0 + 1e-4 * std::fabs(exact))
          << c.name << " " << TrainingPositionFen(p);
      const double difference = std::fabs(engine - FloatScore(*c.network, p));
      sum += difference;
      worst = std::max(worst, difference);
      spread += std::fabs(engine);
      ++compared;
    }
    std::printf("%s network, %d positions: mean |engine - float| %.2f cp, worst %.1f cp, "
                "mean |score| %.0f cp\n", c.name, compared, sum / compared, worst, spread / compared);
    EXPECT_LT(sum / compared, c.meanLimit) << c.name;
    EXPECT_LT(worst, c.worstLimit) << c.name;
    EXPECT_GT(spread / compared, 10.0) << c.name;  // the scores are not all near zero
  }
}

TEST(NetworkExport, ColourFlippedTwinScoresAlikeInTheEngine) {
  ASSERT_TRUE(Install(TrainedNetwork()));
  for (const TrainingPosition& p : GamePositions(1000, 43)) {
    i32 a, b;
    ASSERT_TRUE(EngineScore(p, &a));
    ASSERT_TRUE(EngineScore(ColourFlipped(p), &b));
    ASSERT_EQ(a, b) << TrainingPositionFen(p);
  }
}

TEST(NetworkExport, WeightFileRoundTrip) {
  const FloatNetwork* network = &TrainedNetwork();
  const std::string path = TempPath("tervik_train_roundtrip.nnue");
  ASSERT_TRUE(WriteNetworkFile(path.c_str(), *network));
  auto checked = std::make_unique<NnueNetwork>();
  EXPECT_EQ(ReadNetwork(path.c_str(), checked.get()).status, 0);

  auto back = NewFloatNetwork();
  std::string error;
  ASSERT_TRUE(ReadNetworkFile(path.c_str(), back.get(), &error)) << error;
  auto worstOf = [&](int begin, int end) {
    float worst = 0.0f;
    for (int i = begin; i < end; ++i)
      worst = std::max(worst, std::fabs(back->params[i] - network->params[i]));
    return worst;
  };
  EXPECT_LE(worstOf(0, FloatNetwork::OutputOffset), 0.5f / FeatureScale + 1e-6f);
  EXPECT_LE(worstOf(FloatNetwork::OutputOffset, FloatNetwork::BiasOffset), 0.5f / OutputScale + 1e-7f);
  EXPECT_LE(worstOf(FloatNetwork::BiasOffset, FloatNetwork::Count), 0.5f / BiasScale + 1e-9f);

  // A damaged file is refused with the engine's own message.
  std::FILE* file = std::fopen(path.c_str(), "r+b");
  ASSERT_NE(file, nullptr);
  std::fseek(file, 1000, SEEK_SET);
  std::fputc(0x5a, file);
  std::fclose(file);
  EXPECT_FALSE(ReadNetworkFile(path.c_str(), back.get(), &error));
  EXPECT_NE(error.find("Gewichtshash"), std::string::npos) << error;
  EXPECT_FALSE(ReadNetworkFile(TempPath("tervik_train_missing.nnue").c_str(), back.get(), &error));
  std::remove(path.c_str());
}

// The weights at their limits still fit the integers: nothing saturates or wraps.
TEST(NetworkExport, WeightsAtTheLimitsFitTheirIntegers) {
  auto network = NewFloatNetwork();
  for (int i = 0; i < FloatNetwork::OutputOffset; ++i)
    network->params[i] = (i & 1) ? FeatureWeightLimit : -FeatureWeightLimit;
  for (int i = FloatNetwork::OutputOffset; i < FloatNetwork::BiasOffset; ++i)
    network->params[i] = (i & 1) ? OutputWeightLimit : -OutputWeightLimit;
  network->Bias() = -BiasLimit;
  auto weights = std::make_unique<NnueFileWeights>();
  QuantiseNetwork(*network, weights.get());
  EXPECT_EQ(weights->feature[0][0], -358);
  EXPECT_EQ(weights->feature[0][1], 358);
  EXPECT_EQ(weights->output[0][0], -32512);
  EXPECT_EQ(weights->output[1][255], 32512);
  EXPECT_EQ(weights->bias, -2096704000);
}
