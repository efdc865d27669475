// tervik-datagen: self-play games of the engine's own search on every core, kept as 32-byte
// training records for tervik-train. The search's tables are process-wide, so the tool forks
// one worker process per core; they share only a page of counters.
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "common/arguments.h"
#include "common/selfplay_game.h"
#include "common/training_data.h"
#include "config/ini_file.h"
#include "config/params.h"
#include "eval/network.h"
#include "search/engine.h"
#include "search/time_controller.h"
#include "search/transposition_table.h"

namespace {

const char Usage[] =
    "usage: tervik-datagen --out PREFIX [options]\n"
    "  Plays self-play games with the engine's search at a node budget and keeps the quiet\n"
    "  positions (side to move not in check, best move no capture or promotion, no mate score)\n"
    "  with the search score (White's view) and the game's result. Worker K writes\n"
    "  PREFIX.K.data and, for every VAL-th game, PREFIX.K.val (files are overwritten).\n"
    "  --net FILE        network (default: nnue_path of ./tervik.ini, else\n"
    "                    nets/gen0-material.nnue)\n"
    "  --workers N       worker processes (default: every core)\n"
    "  --games N         stop after N games in all (openings dropped for their score count)\n"
    "  --positions N     stop once N positions are kept\n"
    "  --minutes X       stop after X minutes (running games are finished)\n"
    "  --nodes N         node budget per move (default 5000)\n"
    "  --random-plies N  random opening plies, N or N+1 (default 8)\n"
    "  --seed N          run seed; game I is played from GameSeed(seed, I) (default 1)\n"
    "  --hash MB         transposition table per worker (default 16)\n"
    "  --val N           every N-th game goes to the validation file, 0 none (default 100)\n"
    "  --report S        seconds between progress lines (default 10)\n"
    "  Without a limit it runs until interrupted; SIGINT or SIGTERM finish the games under\n"
    "  way. With --games, the games and their records depend only on seed, settings and\n"
    "  network, not on the number of workers.\n";

struct SharedCounters {
  std::atomic<u64> nextGame;
  std::atomic<u64> games;
  std::atomic<u64> kept;
  std::atomic<u64> plies;
  std::atomic<u64> searched;
  std::atomic<u64> results[3];
  std::atomic<u64> ends[9];
  std::atomic<u32> stop;
  std::atomic<u32> failed;
};

SharedCounters* Shared = nullptr;

void OnSignal(int) {
  if (Shared) Shared->stop.store(1);
}

int BadUsage(const std::string& message) {
  std::fprintf(stderr, "tervik-datagen: %s\n%s", message.c_str(), Usage);
  return 2;
}

std::string IniNetwork() {
  std::string path;
  if (std::FILE* ini = std::fopen("tervik.ini", "rb")) {
    ReadIniStream(ini, stderr);
    std::fclose(ini);
    path = nnue_path;
    RegisterParams();  // the search keeps its defaults: only the path is taken
  }
  return path.empty() ? "nets/gen0-material.nnue" : path;
}

struct RunSettings {
  SelfPlaySettings game;
  std::string out;
  u64 games = 0;      // 0: no limit
  u64 positions = 0;  // 0: no limit
  u64 seed = 1;
  u64 hashMb = 16;
  u64 valEvery = 100;
};

bool WriteAll(std::FILE* file, const std::vector<TrainingRecord>& records) {
  if (records.empty()) return true;
  return std::fwrite(records.data(), sizeof(TrainingRecord), records.size(), file) ==
             records.size() &&
         std::fflush(file) == 0;
}

int RunWorker(int index, const RunSettings& run) {
  std::signal(SIGINT, OnSignal);
  std::signal(SIGTERM, OnSignal);
  char suffix[32];
  std::snprintf(suffix, sizeof suffix, ".%02d.data", index);
  const std::string dataPath = run.out + suffix;
  std::snprintf(suffix, sizeof suffix, ".%02d.val", index);
  const std::string valPath = run.out + suffix;
  std::FILE* data = std::fopen(dataPath.c_str(), "wb");
  std::FILE* val = run.valEvery ? std::fopen(valPath.c_str(), "wb") : nullptr;
  if (!data || (run.valEvery && !val)) {
    std::fprintf(stderr, "tervik-datagen: cannot write %s\n", data ? valPath.c_str() : dataPath.c_str());
    return 1;
  }
  TT.resize(HashMegabytesToLog2Count(static_cast<i64>(run.hashMb)));
  SilentProtocol protocol;
  Engine* engine = new Engine(&protocol);
  protocol.engine = engine;
  protocol.multiPvCount = 1;
  engine->useTablebases = 0;
  NodeBudgetController controller;
  std::vector<TrainingRecord> records;
  int status = 0;
  {
    std::lock_guard<std::mutex> think(engine->thinkMutex);
    while (!Shared->stop.load()) {
      if (run.positions && Shared->kept.load() >= run.positions) break;
      const u64 game = Shared->nextGame.fetch_add(1);
      if (run.games && game >= run.games) break;
      records.clear();
      const GameOutcome outcome =
          PlaySelfPlayGame(engine, &controller, run.game, GameSeed(run.seed, game), &records);
      const bool toValidation = run.valEvery && game % run.valEvery == 0;
      if (!WriteAll(toValidation ? val : data, records)) {
        std::fprintf(stderr, "tervik-datagen: write failed (%s)\n",
                     toValidation ? valPath.c_str() : dataPath.c_str());
        Shared->failed.store(1);
        Shared->stop.store(1);
        status = 1;
        break;
      }
      Shared->ends[static_cast<int>(outcome.end)].fetch_add(1);
      Shared->games.fetch_add(1);
      if (outcome.end != GameEnd::DroppedOpening) {
        Shared->results[outcome.result].fetch_add(1);
        Shared->kept.fetch_add(records.size());
        Shared->plies.fetch_add(static_cast<u64>(outcome.plies));
        Shared->searched.fetch_add(static_cast<u64>(outcome.searched));
      }
    }
  }
  std::fclose(data);
  if (val) std::fclose(val);
  delete engine;
  return status;
}

void PrintProgress(double seconds, bool final) {
  const u64 played = Shared->games.load() - Shared->ends[0].load();
  const u64 kept = Shared->kept.load();
  const double total = played ? static_cast<double>(played) : 1.0;
  const int s = static_cast<int>(seconds);
  std::fprintf(stderr,
               "%s%d:%02d:%02d  %llu positions (%.0f/s, %.0f moves/s)  %llu games (+%.0f%% "
               "=%.0f%% -%.0f%%, %.0f plies each, %llu openings dropped)\n",
               final ? "done " : "", s / 3600, s / 60 % 60, s % 60,
               static_cast<unsigned long long>(kept), seconds > 0 ? kept / seconds : 0.0,
               seconds > 0 ? Shared->searched.load() / seconds : 0.0,
               static_cast<unsigned long long>(played), 100.0 * Shared->results[WhiteWin].load() / total,
               100.0 * Shared->results[Draw].load() / total,
               100.0 * Shared->results[BlackWin].load() / total, Shared->plies.load() / total,
               static_cast<unsigned long long>(Shared->ends[0].load()));
  std::fflush(stderr);
}

}  // namespace

int main(int argc, char** argv) {
  RunSettings run;
  std::string network;
  u64 workers = std::max(1u, std::thread::hardware_concurrency());
  u64 reportSeconds = 10;
  double minutes = 0.0;
  for (int i = 1; i < argc; ++i) {
    const std::string option = argv[i];
    if (option == "-h" || option == "--help") {
      std::fputs(Usage, stdout);
      return 0;
    }
    if (i + 1 >= argc) return BadUsage(option + " needs a value");
    const char* value = argv[++i];
    u64 n = 0;
    bool ok = true;
    if (option == "--out") {
      run.out = value;
    } else if (option == "--net") {
      network = value;
    } else if (option == "--workers") {
      ok = ParseU64(value, 1, 256, &workers);
    } else if (option == "--games") {
      ok = ParseU64(value, 1, ~u64{0} >> 1, &run.games);
    } else if (option == "--positions") {
      ok = ParseU64(value, 1, ~u64{0} >> 1, &run.positions);
    } else if (option == "--minutes") {
      char* end = nullptr;
      minutes = std::strtod(value, &end);
      ok = end != value && *end == '\0' && minutes > 0.0 && minutes < 1e7;
    } else if (option == "--nodes") {
      ok = ParseU64(value, 1, u64{1} << 40, &run.game.nodes);
    } else if (option == "--random-plies") {
      ok = ParseU64(value, 0, 100, &n);
      run.game.randomPlies = static_cast<int>(n);
    } else if (option == "--seed") {
      ok = ParseU64(value, 0, ~u64{0}, &run.seed);
    } else if (option == "--hash") {
      ok = ParseU64(value, 1, 4096, &run.hashMb);
    } else if (option == "--val") {
      ok = ParseU64(value, 0, ~u64{0} >> 1, &run.valEvery);
    } else if (option == "--report") {
      ok = ParseU64(value, 1, 86400, &reportSeconds);
    } else {
      return BadUsage("unknown option " + option);
    }
    if (!ok) return BadUsage("bad value for " + option + ": " + value);
  }
  if (run.out.empty()) return BadUsage("--out is needed");

  RegisterParams();
  if (network.empty()) network = IniNetwork();
  LoadNetwork(network.c_str());  // ends the process on a bad file, with the loader's message

  void* page = mmap(nullptr, sizeof(SharedCounters), PROT_READ | PROT_WRITE,
                    MAP_SHARED | MAP_ANONYMOUS, -1, 0);
  if (page == MAP_FAILED) {
    std::fprintf(stderr, "tervik-datagen: no shared memory for the counters\n");
    return 1;
  }
  Shared = new (page) SharedCounters{};
  std::fprintf(stderr, "tervik-datagen: %llu workers, %llu nodes per move, seed %llu, network %s\n",
               static_cast<unsigned long long>(workers),
               static_cast<unsigned long long>(run.game.nodes),
               static_cast<unsigned long long>(run.seed), network.c_str());
  std::fflush(stderr);

  std::vector<pid_t> children;
  for (u64 k = 0; k < workers; ++k) {
    const pid_t pid = fork();
    if (pid == 0) _exit(RunWorker(static_cast<int>(k), run));
    if (pid < 0) {
      std::fprintf(stderr, "tervik-datagen: cannot start worker %llu\n",
                   static_cast<unsigned long long>(k));
      Shared->stop.store(1);
      break;
    }
    children.push_back(pid);
  }
  std::signal(SIGINT, OnSignal);
  std::signal(SIGTERM, OnSignal);

  const i64 start = NowMs();
  i64 nextReport = start + static_cast<i64>(reportSeconds) * 1000;
  int status = children.size() == workers ? 0 : 1;
  std::size_t running = children.size();
  while (running > 0) {
    usleep(100 * 1000);
    for (pid_t& pid : children) {
      if (pid <= 0) continue;
      int childStatus = 0;
      if (waitpid(pid, &childStatus, WNOHANG) == pid) {
        if (!WIFEXITED(childStatus) || WEXITSTATUS(childStatus) != 0) {
          status = 1;
          Shared->stop.store(1);
        }
        pid = 0;
        --running;
      }
    }
    const i64 now = NowMs();
    if (minutes > 0.0 && now - start >= static_cast<i64>(minutes * 60000.0)) Shared->stop.store(1);
    if (now >= nextReport && running > 0) {
      PrintProgress((now - start) / 1000.0, false);
      nextReport += static_cast<i64>(reportSeconds) * 1000;
    }
  }
  PrintProgress((NowMs() - start) / 1000.0, true);
  std::fprintf(stderr, "ends:");
  for (int e = 0; e < 9; ++e)
    std::fprintf(stderr, " %s %llu%s", GameEndName(static_cast<GameEnd>(e)),
                 static_cast<unsigned long long>(Shared->ends[e].load()), e < 8 ? "," : "\n");
  if (Shared->failed.load()) status = 1;
  return status;
}
