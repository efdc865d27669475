// bench-uci_latency: how fast the real program answers as an interface sees it, through pipes:
// "readyok" during an infinite search, "bestmove" after "stop", and the answer to
// "go movetime 100" (median and worst of each, in ms). A figure to compare on a quiet machine
// and with another program in the same minute, never a pass/fail test.
//
//     bench-uci_latency [ROUNDS]     (default 300; readyok is asked 3 x ROUNDS times)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "protocol/engine_process.h"

namespace {

void Report(const char* what, std::vector<i64> samples) {
  if (samples.empty()) return;
  std::sort(samples.begin(), samples.end());
  std::printf("%-28s median %4lld ms  worst %4lld ms  (%zu answers)\n", what,
              static_cast<long long>(samples[samples.size() / 2]),
              static_cast<long long>(samples.back()), samples.size());
}

bool Expect(EngineProcess* engine, const char* prefix, EngineLine* line) {
  if (engine->readUntil(prefix, 10000, line)) return true;
  std::fprintf(stderr, "no \"%s\" within 10 s\n%s", prefix, engine->errorOutput().c_str());
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  int rounds = argc > 1 ? std::atoi(argv[1]) : 300;
  if (rounds <= 0) {
    std::fprintf(stderr, "usage: bench-uci_latency [ROUNDS]\n");
    return 2;
  }
  EngineFolder folder;
  EngineProcess engine(folder.path());
  EngineLine line;
  engine.sendLine("uci");
  if (!Expect(&engine, "uciok", &line)) return 1;

  std::vector<i64> ready;
  engine.sendLine("position startpos");
  engine.sendLine("go infinite");
  for (int i = 0; i < 3 * rounds; ++i) {
    i64 sent = DriverNowMs();
    engine.sendLine("isready");
    if (!Expect(&engine, "readyok", &line)) return 1;
    ready.push_back(line.atMs - sent);
  }
  engine.sendLine("stop");
  if (!Expect(&engine, "bestmove", &line)) return 1;

  std::vector<i64> stop;
  for (int i = 0; i < rounds; ++i) {
    engine.send("position startpos moves e2e4\ngo infinite\n");
    std::this_thread::sleep_for(std::chrono::milliseconds(i % 31));
    i64 sent = DriverNowMs();
    engine.sendLine("stop");
    if (!Expect(&engine, "bestmove", &line)) return 1;
    stop.push_back(line.atMs - sent);
  }

  std::vector<i64> moveTime;
  for (int i = 0; i < rounds; ++i) {
    engine.sendLine(i % 2 ? "position startpos moves e2e4" : "position startpos");
    i64 sent = DriverNowMs();
    engine.sendLine("go movetime 100");
    if (!Expect(&engine, "bestmove", &line)) return 1;
    moveTime.push_back(line.atMs - sent);
  }
  engine.sendLine("quit");
  engine.waitForExit(10000);

  Report("readyok during go infinite", ready);
  Report("bestmove after stop", stop);
  Report("bestmove of movetime 100", moveTime);
  long late = std::count_if(moveTime.begin(), moveTime.end(), [](i64 ms) { return ms >= 100; });
  std::printf("movetime 100 answers at or after 100 ms: %ld of %zu\n", late, moveTime.size());
  return 0;
}
