// tervik-bench: the engine's benchmark search, thirteen middlegame positions to depth 9 with
// the table and the history cleared before each, and its node total as a signature of the
// search, the move ordering and the network.
//
//     tervik-bench [NETWORK]
//
// NETWORK defaults to the nnue_path of ./tervik.ini, else nets/gen0-material.nnue. The
// parameters keep their defaults (the ini only lends the path), so the total is comparable.
#include <cstdio>
#include <cstring>
#include <string>

#include "board/fen.h"
#include "board/notation.h"
#include "config/ini_file.h"
#include "config/params.h"
#include "eval/network.h"
#include "protocol/silent_protocol.h"
#include "search/engine.h"
#include "search/history_table.h"
#include "search/root_search.h"
#include "search/time_controller.h"
#include "search/transposition_table.h"

namespace {

constexpr const char* DefaultNetwork = "nets/gen0-material.nnue";
constexpr i32 BenchDepth = 9;

constexpr const char* BenchmarkFens[13] = {
    "1rr3k1/3q1pbp/3pb3/pp1Np3/8/2P2B2/PP1Q1PPP/3R1RK1 w - - 0 23",
    "r4rk1/3bqpbp/p2p4/1p1Q4/4p3/2P1N3/PP2BPPP/R4RK1 b - - 0 19",
    "4rrk1/5pbp/p2p4/1p2p3/1Pq5/2P2B2/P4PPP/R2QR1K1 w - - 0 25",
    "r4rk1/2qnbpp1/b1p1p2p/p2pP2P/5P2/1BN1BQ2/PPP3P1/2KR3R w - - 0 17",
    "rr4k1/1bqnbppp/2p1p3/p2pP3/5PP1/1BN2Q2/PPP2B1P/2KR1R2 b - - 0 17",
    "3r1rk1/1b2bpp1/p1qppn1p/1p4BP/4P3/P1N2PP1/BPP1Q3/1K1R3R w - - 0 20",
    "r4r2/p1qbn1p1/1pn1p1k1/2ppPpN1/P2P4/2PQ4/2P2PPP/R1B2RK1 w - f6 0 15",
    "5r1k/p1q2rp1/1pb1p1np/3p4/P1pPnP2/B1P1N1P1/2P1B2P/R3QRK1 b - - 0 25",
    "4r1k1/1r4p1/2bBp2p/1p1pP1p1/p1pP1q2/2P5/1RP1QPPP/R5K1 b - - 0 33",
    "r2rq1k1/3b2p1/2nBp2p/n2pPp1P/p1pP3Q/2P2NP1/R1P1BP2/1R4K1 w - - 0 38",
    "r4rk1/2q2ppp/p4n2/1p1b2B1/1b1N4/3B3P/PP3PP1/R2QR1K1 w - - 0 20",
    "2rq1rk1/1b2b1pp/p2p4/np1Ppp1n/4P3/3B1NPP/PP1NQP2/R1B1R1K1 w - f6 0 18",
    "r1br1nk1/p3q1pp/2p5/5p2/4p3/2N1P3/PPQN1PPP/2RR2K1 b - - 0 17",
};

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
  engine->timeController = &protocol.unlimitedTc;
  engine->maxDepth = BenchDepth;

  u64 total = 0;
  i64 start = NowMs();
  {
    std::lock_guard<std::mutex> think(engine->thinkMutex);
    for (const char* fen : BenchmarkFens) {
      if (!SetFen(engine->board, fen)) {
        std::fprintf(stderr, "tervik-bench: bad position %s\n", fen);
        return 1;
      }
      engine->history->count = 0;
      ClearHistory();
      TT.clear();
      engine->timeController->start(0, 0, 0);
      SearchRoot(engine);
      u64 nodes = SearchNodes(engine);
      total += nodes;
      const PVLine& line = engine->frames[0].line;
      std::printf("%s\n  bestmove %s score %d nodes %llu\n", GetFen(engine->board).c_str(),
                  line.length > 0 ? MoveToText(line.moves[0]).c_str() : "(none)", line.score,
                  static_cast<unsigned long long>(nodes));
    }
  }
  i64 elapsed = NowMs() - start;
  if (elapsed < 1) elapsed = 1;
  u64 nps = total * 1000 / static_cast<u64>(elapsed);
  std::printf("time: %lld ms\nnodes: %llu\n%llu nodes %llu nps\n", static_cast<long long>(elapsed),
              static_cast<unsigned long long>(total), static_cast<unsigned long long>(total),
              static_cast<unsigned long long>(nps));
  delete engine;
  return 0;
}
