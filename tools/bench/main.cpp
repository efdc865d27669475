// tervik-bench: the engine's benchmark, the one that "tests" and -profile run (thirteen
// middlegame positions to depth 9 with the table and the history cleared before each), and
// its node total as a signature of the search, the move ordering and the network.
//
//     tervik-bench [NETWORK]
//
// NETWORK defaults to the nnue_path of ./tervik.ini, else nets/gen0-material.nnue. The
// parameters keep their defaults (the ini only lends the path) and no book is loaded, so the
// total is comparable.
#include <cstdio>
#include <cstring>
#include <string>

#include "board/notation.h"
#include "config/ini_file.h"
#include "config/params.h"
#include "eval/network.h"
#include "protocol/silent_protocol.h"
#include "search/engine.h"
#include "search/transposition_table.h"
#include "tools/self_tests.h"

namespace {

constexpr const char* DefaultNetwork = "nets/gen0-material.nnue";

std::string NetworkPath(int argc, char** argv) {
  if (argc > 1) return argv[1];
  if (std::FILE* ini = std::fopen("tervik.ini", "rb")) {
    ReadIniStream(ini, stderr);
    std::fclose(ini);
    std::string path = nnue_path;
    RegisterParams();  // back to the defaults: only the path is taken from the ini
    if (!path.empty()) return path;
  }
  return DefaultNetwork;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 2 || (argc == 2 && (std::strcmp(argv[1], "-h") == 0 ||
                                 std::strcmp(argv[1], "--help") == 0))) {
    std::fprintf(stderr, "usage: tervik-bench [NETWORK]\n");
    return 2;
  }
  RegisterParams();
  std::string network = NetworkPath(argc, argv);
  LoadNetwork(network.c_str());
  TT.resize(HashMegabytesToLog2Count(Hash));

  SilentProtocol protocol;
  Engine* engine = new Engine(&protocol);
  protocol.engine = engine;
  protocol.multiPvCount = 1;
  engine->useTablebases = 0;

  BenchmarkResult result;
  {
    std::lock_guard<std::mutex> think(engine->thinkMutex);
    result = RunBenchmark(&protocol, stdout);
  }
  for (i32 i = 0; i < BenchmarkPositionCount; ++i) {
    std::printf("%2d bestmove %s score %d nodes %llu\n", i + 1,
                result.bestMoves[i] ? MoveToText(result.bestMoves[i]).c_str() : "(none)",
                result.scores[i], static_cast<unsigned long long>(result.positionNodes[i]));
  }
  i64 elapsed = result.elapsedMs > 0 ? result.elapsedMs : 1;
  u64 nps = result.nodes * 1000 / static_cast<u64>(elapsed);
  std::printf("%llu nodes %llu nps\n", static_cast<unsigned long long>(result.nodes),
              static_cast<unsigned long long>(nps));
  delete engine;
  return 0;
}
