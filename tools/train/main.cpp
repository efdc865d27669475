// tervik-train: trains the evaluation network on 32-byte training records and writes a weight
// file the engine loads.
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "common/arguments.h"
#include "common/network_export.h"
#include "common/synthetic_positions.h"
#include "common/trainer.h"
#include "common/training_data.h"

static const char Usage[] =
    "usage: tervik-train [options] DATA...\n"
    "  Trains the 768x2x256 network on record files (32-byte training records) and writes\n"
    "  a weight file.\n"
    "  --out FILE        weight file to write (default tervik.nnue)\n"
    "  --lambda X        weight of the game result in the target, 0..1 (default 0.75)\n"
    "  --passes N        passes over the training data (default 10)\n"
    "  --positions N     train N positions in all instead of whole passes\n"
    "  --lr X            learning rate at the start (default 0.001)\n"
    "  --lr-end X        learning rate at the last step (default 0.00243 x the start)\n"
    "  --batch N         positions per batch (default 16384)\n"
    "  --threads N       worker threads (default: every core)\n"
    "  --seed N          seed of the initial weights, validation split and shuffles (default 1)\n"
    "  --start FILE      start from this weight file instead of random weights\n"
    "  --val-split X     hold out this fraction of the data for validation (default 0)\n"
    "  --val FILE        validation records from this file (may be repeated); records of\n"
    "                    games kept apart are a truer check than a split of the same games\n"
    "  --save-every N    also write OUT.passN after every N passes\n"
    "  The same records (in any order and files), seed and thread count give the same\n"
    "  weight file.\n"
    "usage: tervik-train --make-test-data FILE N [SEED]\n"
    "  Writes N made-up records for tests and timing: the positions of random legal games,\n"
    "  scored by material.\n";

static bool ParseDouble(const char* text, double low, double high, double* value) {
  if (text == nullptr || *text == '\0') return false;
  char* end = nullptr;
  errno = 0;
  const double v = std::strtod(text, &end);
  if (errno != 0 || *end != '\0' || !(v >= low && v <= high)) return false;
  *value = v;
  return true;
}

static int Fail(const std::string& message) {
  std::fprintf(stderr, "tervik-train: %s\n", message.c_str());
  return 1;
}

static int BadUsage(const std::string& message) {
  std::fprintf(stderr, "tervik-train: %s\n%s", message.c_str(), Usage);
  return 2;
}

static int MakeTestData(int argc, char** argv) {
  u64 count = 0;
  u64 seed = 1;
  if (argc < 4 || argc > 5 || !ParseU64(argv[3], 1, u64{1} << 32, &count) ||
      (argc == 5 && !ParseU64(argv[4], 0, ~u64{0}, &seed)))
    return BadUsage("--make-test-data needs FILE, a count and an optional seed");
  ToolRng rng(seed);
  std::vector<TrainingPosition> positions;
  RandomGamePositions(&rng, count, &positions);
  std::vector<TrainingRecord> records(count);
  for (std::size_t i = 0; i < count; ++i) {
    if (!EncodeTrainingRecord(positions[i], &records[i]))
      return Fail("could not encode a made-up position");
  }
  if (!WriteRecordFile(argv[2], records)) return Fail(std::string("cannot write ") + argv[2]);
  return 0;
}

int main(int argc, char** argv) {
  if (argc >= 2 && std::strcmp(argv[1], "--make-test-data") == 0) return MakeTestData(argc, argv);

  TrainerSettings settings;
  settings.threads = static_cast<int>(std::thread::hardware_concurrency());
  if (settings.threads < 1) settings.threads = 1;
  std::string out = "tervik.nnue";
  std::string start;
  u64 passes = 10;
  u64 positions = 0;
  u64 saveEvery = 0;
  double valSplit = 0.0;
  bool finalRateGiven = false;
  std::vector<std::string> dataFiles;
  std::vector<std::string> valFiles;

  for (int i = 1; i < argc; ++i) {
    const std::string option = argv[i];
    if (option == "-h" || option == "--help") {
      std::fputs(Usage, stdout);
      return 0;
    }
    if (option.rfind("--", 0) != 0) {
      dataFiles.push_back(option);
      continue;
    }
    if (i + 1 >= argc) return BadUsage(option + " needs a value");
    const char* value = argv[++i];
    double d = 0.0;
    u64 n = 0;
    bool ok = true;
    if (option == "--out") {
      out = value;
    } else if (option == "--start") {
      start = value;
    } else if (option == "--val") {
      valFiles.push_back(value);
    } else if (option == "--lambda") {
      ok = ParseDouble(value, 0.0, 1.0, &d);
      settings.lambda = static_cast<float>(d);
    } else if (option == "--lr") {
      ok = ParseDouble(value, 1e-9, 1.0, &d);
      settings.rate = static_cast<float>(d);
    } else if (option == "--lr-end") {
      ok = ParseDouble(value, 0.0, 1.0, &d);
      settings.finalRate = static_cast<float>(d);
      finalRateGiven = true;
    } else if (option == "--val-split") {
      ok = ParseDouble(value, 0.0, 0.5, &valSplit);
    } else if (option == "--passes") {
      ok = ParseU64(value, 1, 1000000, &passes);
    } else if (option == "--positions") {
      ok = ParseU64(value, 1, ~u64{0} >> 1, &positions);
    } else if (option == "--batch") {
      ok = ParseU64(value, 1, 1 << 24, &n);
      settings.batchSize = static_cast<int>(n);
    } else if (option == "--threads") {
      ok = ParseU64(value, 1, 256, &n);
      settings.threads = static_cast<int>(n);
    } else if (option == "--seed") {
      ok = ParseU64(value, 0, ~u64{0}, &settings.seed);
    } else if (option == "--save-every") {
      ok = ParseU64(value, 1, 1000000, &saveEvery);
    } else {
      return BadUsage("unknown option " + option);
    }
    if (!ok) return BadUsage(std::string("bad value for ") + option + ": " + value);
  }
  if (dataFiles.empty()) return BadUsage("no data files");
  if (!finalRateGiven) settings.finalRate = settings.rate * 0.00243f;

  std::vector<TrainingRecord> records;
  std::vector<TrainingRecord> validation;
  std::string error;
  for (const std::string& file : dataFiles)
    if (!ReadRecordFile(file.c_str(), &records, &error)) return Fail(error);
  for (const std::string& file : valFiles)
    if (!ReadRecordFile(file.c_str(), &validation, &error)) return Fail(error);
  // A canonical order before anything random: the same records give the same network whatever
  // the files' order or the way a data generator's workers divided its games between files.
  const auto byBytes = [](const TrainingRecord& a, const TrainingRecord& b) {
    return std::memcmp(a.bytes, b.bytes, sizeof a.bytes) < 0;
  };
  std::sort(records.begin(), records.end(), byBytes);
  std::sort(validation.begin(), validation.end(), byBytes);
  SplitValidation(&records, valSplit, settings.seed, &validation);
  if (records.empty()) return Fail("no training records");

  auto network = NewFloatNetwork();
  if (start.empty()) {
    InitialiseNetwork(network.get(), settings.seed);
  } else if (!ReadNetworkFile(start.c_str(), network.get(), &error)) {
    return Fail(error);
  }

  const u64 perPass = BatchesPerPass(records.size(), settings.batchSize);
  settings.steps = positions ? BatchesPerPass(positions, settings.batchSize) : passes * perPass;
  std::printf("%zu training and %zu validation records, batch %d, %llu steps (%.2f passes), "
              "%d threads, lambda %.3f, lr %.3g to %.3g\n",
              records.size(), validation.size(), settings.batchSize,
              static_cast<unsigned long long>(settings.steps),
              static_cast<double>(settings.steps) / static_cast<double>(perPass), settings.threads,
              settings.lambda, settings.rate, settings.finalRate);
  if (!validation.empty()) {
    WorkerPool pool(settings.threads);
    std::printf("start  val loss %.6f\n", MeanLoss(*network, validation, settings.lambda, &pool));
  }
  std::fflush(stdout);

  bool written = true;
  TrainNetwork(network.get(), &records, validation, settings, [&](const PassReport& report) {
    std::printf("pass %d  step %llu/%llu  train loss %.6f", report.pass,
                static_cast<unsigned long long>(report.stepsDone),
                static_cast<unsigned long long>(settings.steps), report.trainLoss);
    if (report.validationLoss >= 0.0) std::printf("  val loss %.6f", report.validationLoss);
    std::printf("  lr %.3g  %.0f pos/s  %.1f s + %.1f s shuffle\n", report.rate,
                report.seconds > 0.0 ? report.positions / report.seconds : 0.0, report.seconds,
                report.shuffleSeconds);
    std::fflush(stdout);
    if (saveEvery && report.pass % saveEvery == 0 && report.stepsDone < settings.steps) {
      const std::string path = out + ".pass" + std::to_string(report.pass);
      if (!WriteNetworkFile(path.c_str(), *network)) {
        std::fprintf(stderr, "tervik-train: cannot write %s\n", path.c_str());
        written = false;
      }
    }
  });
  if (!WriteNetworkFile(out.c_str(), *network)) return Fail("cannot write " + out);
  std::printf("wrote %s\n", out.c_str());
  // Positions the float model never trained on when there are any.
  const ExportCheck check = CompareWithEngine(*network, validation.empty() ? records : validation, 10000);
  std::printf("engine check: %d positions, mean |engine - float| %.2f cp, worst %.1f cp\n",
              check.positions, check.meanDifference, check.worstDifference);
  return written ? 0 : 1;
}
