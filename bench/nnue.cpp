// Cost of the network code per call: accumulator update after a move, refresh, evaluation.
// Usage: bench-nnue [rounds]; positions come from random games, weights are random. The 256
// positions' accumulators and the feature rows fit the second-level cache, as in a search.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <random>
#include <vector>

#include "board/fen.h"
#include "board/make_move.h"
#include "board/move_list.h"
#include "board/movegen.h"
#include "eval/network.h"
#include "eval/nnue.h"
#include "eval/simd.h"
#include "eval/weight_file.h"

constexpr std::size_t Positions = 256;

struct Ply {
  Board board;  // the position before the move
  Accumulator acc;
  u32 move;
  u8 moving, captured;
  u32 captureSquare;
};

template <typename F>
static double BestNsPerCall(int rounds, std::size_t callsPerRound, F body) {
  double best = 1e30;
  for (int r = 0; r < rounds; ++r) {
    const auto start = std::chrono::steady_clock::now();
    body();
    const std::chrono::duration<double, std::nano> took = std::chrono::steady_clock::now() - start;
    if (took.count() / callsPerRound < best) best = took.count() / callsPerRound;
  }
  return best;
}

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::atoi(argv[1]) : 7;
  auto weights = std::make_unique<NnueFileWeights>();
  std::mt19937 rng(1);
  for (auto& row : weights->feature)
    for (i16& x : row) x = static_cast<i16>(static_cast<int>(rng() % 121) - 60);
  for (auto& half : weights->output)
    for (i16& x : half) x = static_cast<i16>(rng());
  const std::vector<u8> image = BuildWeightFile(*weights);
  if (ReadNetworkImage("random", image.data(), image.size(), &Network).status != 0) return 1;

  std::vector<Ply> plies;
  plies.reserve(Positions);
  while (plies.size() < Positions) {
    Board board;
    if (!SetFen(&board, StartFen)) {
      std::fputs("bench-nnue: the board cannot load the start position\n", stderr);
      return 1;
    }
    for (int ply = 0; ply < 200 && plies.size() < Positions; ++ply) {
      MoveList list;
      list.count = 0;
      GenerateLegalMoves(&board, &list);
      if (list.count == 0) break;
      Ply p;
      p.board = board;
      RefreshAccumulator(&board, &p.acc);
      p.move = list.moves[rng() % static_cast<u32>(list.count)];
      const u32 from = MoveFrom(p.move), to = MoveTo(p.move);
      p.moving = board.squares[from];
      p.captured = board.squares[to];
      p.captureSquare = to;
      if (TypeOf(p.moving) == 0 && to == board.epSquare && FileOf(from) != FileOf(to)) {
        p.captureSquare = ColourOf(p.moving) == White ? to - 1 : to + 1;
        p.captured = board.squares[p.captureSquare];
      }
      plies.push_back(p);
      MakeMove(&board, p.moving, p.move);
    }
  }

  volatile i64 sink = 0;
  Accumulator child;
  const double update = BestNsPerCall(rounds, plies.size() * 1000, [&] {
    for (int rep = 0; rep < 1000; ++rep) {
      for (const Ply& p : plies) {
        AccumulatorApplyMove(&p.acc, &child, p.move, p.moving, p.captured, p.captureSquare);
        sink = sink + child.half[0][p.move & 255];
      }
    }
  });
  const double evaluate = BestNsPerCall(rounds, plies.size() * 1000, [&] {
    for (int rep = 0; rep < 1000; ++rep) {
      for (const Ply& p : plies) {
        NnueVerdict verdict;
        sink = sink + NnueEvaluateBoard(&p.board, &p.acc, &verdict);
      }
    }
  });
  const double output = BestNsPerCall(rounds, plies.size() * 1000, [&] {
    for (int rep = 0; rep < 1000; ++rep) {
      for (const Ply& p : plies) sink = sink + NnueRawOutput(&p.acc, SideToMove(&p.board));
    }
  });
  const double refresh = BestNsPerCall(rounds, plies.size() * 100, [&] {
    for (int rep = 0; rep < 100; ++rep) {
      for (const Ply& p : plies) {
        RefreshAccumulator(&p.board, &child);
        sink = sink + child.half[1][p.move & 255];
      }
    }
  });
  std::printf("path %s, %zu positions, best of %d rounds\n", SimdPathName, plies.size(), rounds);
  std::printf("accumulator update (AccumulatorApplyMove): %7.1f ns/call\n", update);
  std::printf("evaluation (NnueEvaluateBoard):            %7.1f ns/call\n", evaluate);
  std::printf("output layer alone (NnueRawOutput):        %7.1f ns/call\n", output);
  std::printf("full refresh (RefreshAccumulator):         %7.1f ns/call\n", refresh);
  return sink == 42 ? 2 : 0;
}
