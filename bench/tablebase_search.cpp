// The search in three-man endings with the tablebases on and off: the project's own solved
// KQK, KRK and KPK tables are written into a temporary directory, then each position is
// searched to a fixed depth both ways. Prints depth, time, nodes, nodes per second and the
// score, so the cost of probing and the gain in knowledge can be read side by side.
// Usage: bench-tablebase_search [DEPTH, default 14]
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>

#include "board/fen.h"
#include "board/notation.h"
#include "config/params.h"
#include "eval/network.h"
#include "protocol/silent_protocol.h"
#include "search/engine.h"
#include "search/history_table.h"
#include "search/root_search.h"
#include "search/time_controller.h"
#include "search/transposition_table.h"
#include "tablebase/block_cache.h"
#include "tablebase/probe.h"
#include "tablebase/registration.h"
// The tests' solver writes the tables.
#include "../tests/tablebase/tb_fixtures.cpp"
#include "../tests/tablebase/tb_positions.cpp"

namespace {

constexpr const char* Positions[] = {
    "8/8/8/3k4/8/8/8/R3K3 w - - 0 1",     // KRK
    "8/8/8/8/4k3/8/8/K6R w - - 0 1",      // KRK
    "8/8/8/3k4/8/8/8/2Q1K3 w - - 0 1",    // KQK
    "4k3/8/4K3/4P3/8/8/8/8 w - - 0 1",    // KPK, won
    "8/8/8/4k3/8/8/4P3/4K3 w - - 0 1",    // KPK, drawn
};

}  // namespace

int main(int argc, char** argv) {
  const i32 depth = argc > 1 ? std::atoi(argv[1]) : 14;
  RegisterParams();
  LoadNetwork("nets/gen0-material.nnue");
  TT.resize(HashMegabytesToLog2Count(64));

  const std::string dir = TbMakeTempDir("tbsearch");
  for (const char* row : {"kqk", "krk", "kpk"}) {
    if (!TbWriteSolvedFiles(dir, TbRowOfName(row))) {
      std::fprintf(stderr, "cannot write %s tables in %s\n", row, dir.c_str());
      return 1;
    }
  }
  TablebaseMaxMen = InitTablebases(dir);
  SetTablebaseCacheSize(4);

  SilentProtocol protocol;
  Engine* engine = new Engine(&protocol);
  protocol.engine = engine;
  protocol.multiPvCount = 1;
  engine->timeController = &protocol.unlimitedTc;
  engine->maxDepth = depth;

  std::printf("%-36s %-6s %5s %8s %10s %10s %7s %s\n", "position", "tables", "depth", "ms",
              "nodes", "nps", "score", "tbhits");
  std::lock_guard<std::mutex> think(engine->thinkMutex);
  for (const char* fen : Positions) {
    for (int use = 0; use < 2; ++use) {
      SetFen(engine->board, fen);
      engine->history->count = 0;
      engine->useTablebases = static_cast<u8>(use);
      ClearHistory();
      TT.clear();
      engine->timeController->start(0, 0, 0);
      const i64 start = NowMs();
      SearchRoot(engine);
      i64 elapsed = NowMs() - start;
      if (elapsed < 1) elapsed = 1;
      u64 nodes = SearchNodes(engine), hits = 0;
      for (const SearchFrame& frame : engine->frames) hits += frame.stats.tablebaseHits;
      std::printf("%-36s %-6s %5d %8lld %10llu %10llu %7d %llu\n", fen, use ? "on" : "off",
                  engine->depthReached, static_cast<long long>(elapsed),
                  static_cast<unsigned long long>(nodes),
                  static_cast<unsigned long long>(nodes * 1000 / elapsed),
                  engine->frames[0].line.score, static_cast<unsigned long long>(hits));
    }
  }
  TbRemoveDir(dir);
  return 0;
}
