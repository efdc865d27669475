// The perft checks and the benchmark of "tests" and -profile (and of tervik-bench).
#include "tools/self_tests.h"

#include <cinttypes>

#include "board/fen.h"
#include "board/perft.h"
#include "protocol/protocol.h"
#include "search/engine.h"
#include "search/history_table.h"
#include "search/root_search.h"
#include "search/think.h"
#include "search/time_controller.h"
#include "search/transposition_table.h"
#include "tools/console_commands.h"

const char* const BenchmarkFens[BenchmarkPositionCount] = {
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

namespace {

struct PerftCheck {
  i32 depth;
  u64 (*count)(Board*);
  const char* fen;
  i32 expected;
};

const PerftCheck PerftChecks[] = {
    {5, Perft5, StartFen, 4865609},
    {6, Perft6, "8/7p/5k2/5p2/p1p2P2/Pr1pPK2/1P1R3P/8 b - - 0 1", 14084571},
    {4, Perft4, "r3kb1r/pp2pppp/3q4/3Pn3/6b1/2N1BN2/PP3PPP/R2QKB1R w KQkq - 0 1", 3667710},
    {4, Perft4, "3rnr1k/pp3ppp/4b3/2p1qNP1/P2pPR2/1P1P2Q1/2P3BP/5RK1 w - - 0 1", 1649524},
    {6, Perft6, "8/1p6/p5R1/k7/Prpp4/K7/1NP5/8 w - - 0 1", 3692355},
};

}  // namespace

u64 Perft4(Board* board) { return Perft(board, 4); }
u64 Perft5(Board* board) { return Perft(board, 5); }
u64 Perft6(Board* board) { return Perft(board, 6); }

void PerftTimed(Board* board, const char* fen, i32 depth, u64 (*count)(Board*), i32 expected,
                std::FILE* out) {
  i64 t0 = NowMs();
  SetFen(board, fen);
  i32 nodes = static_cast<i32>(count(board));
  i64 t1 = NowMs();
  std::fprintf(out, "%s\r\n", fen);
  std::fprintf(out, "perft(%d) = %d in %d ms ", depth, nodes, static_cast<int>(t1 - t0));
  std::fputs(nodes == expected ? "OK\r\n" : "ERROR\r\n", out);
}

BenchmarkResult RunBenchmark(Protocol* protocol, std::FILE* out) {
  Engine* engine = protocol->engine;
  TimeController* savedController = engine->timeController;
  const i32 savedDepth = engine->maxDepth;
  engine->timeController = &protocol->unlimitedTc;
  protocol->unlimitedTc.engine = engine;
  engine->maxDepth = BenchmarkDepth;

  BenchmarkResult result{};
  const i64 start = NowMs();
  for (i32 i = 0; i < BenchmarkPositionCount; ++i) {
    SetFen(engine->board, BenchmarkFens[i]);
    ClearHistory();
    std::fprintf(out, "%s\r\n", GetFen(engine->board).c_str());
    TT.clear();
    Think(engine);
    const PVLine& line = engine->frames[0].line;
    result.positionNodes[i] = SearchNodes(engine);
    result.bestMoves[i] = line.length > 0 ? line.moves[0] : EmptyMove;
    result.scores[i] = line.score;
    result.nodes += result.positionNodes[i];
  }
  result.elapsedMs = NowMs() - start;
  // A benchmark inside one clock tick has no measurable speed: count it as one millisecond.
  const i64 divisor = result.elapsedMs > 0 ? result.elapsedMs : 1;
  std::fprintf(out, "time: \t %d ms\r\n", static_cast<int>(result.elapsedMs));
  std::fprintf(out, "nodes: \t %" PRIu64 "\r\n", result.nodes);
  std::fprintf(out, "nps: \t %.0lf\r\n", static_cast<double>(result.nodes) * 1000.0 / divisor);

  engine->timeController = savedController;
  if (savedController) savedController->engine = engine;
  engine->maxDepth = savedDepth;
  return result;
}

void RunSelfTests(Protocol* protocol) {
  Board* board = protocol->engine->board;
  TT.clear();
  for (const PerftCheck& check : PerftChecks)
    PerftTimed(board, check.fen, check.depth, check.count, check.expected, ConsoleDiagnostics);
  RunBenchmark(protocol, ConsoleDiagnostics);
}
