// Random piece sets with a material score.
#include "common/synthetic_positions.h"

#include <cmath>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "board/board.h"
#include "board/fen.h"
#include "board/make_move.h"
#include "board/move_list.h"
#include "board/movegen.h"

static bool Adjacent(u32 a, u32 b) {
  const int df = std::abs(static_cast<int>(FileOf(a)) - static_cast<int>(FileOf(b)));
  const int dr = std::abs(static_cast<int>(RankOf(a)) - static_cast<int>(RankOf(b)));
  return df <= 1 && dr <= 1;
}

static u32 FreeSquare(const TrainingPosition& position, ToolRng* rng, bool pawn) {
  for (;;) {
    const u32 square = static_cast<u32>(rng->Below(64));
    if (position.squares[square] != Empty) continue;
    if (pawn && (RankOf(square) == 0 || RankOf(square) == 7)) continue;
    return square;
  }
}

// A noisy material score and a result drawn to match it.
static void ScoreByMaterial(TrainingPosition* position, i32 balance, ToolRng* rng) {
  const double score = balance + 100.0 * rng->Normal();
  position->score = static_cast<i16>(std::lround(score < -3000 ? -3000 : score > 3000 ? 3000 : score));
  const double white = 1.0 / (1.0 + std::exp(-position->score / 400.0));
  const double draw = 0.3 * (1.0 - std::fabs(2.0 * white - 1.0));
  const double u = rng->Uniform();
  position->result = u < white - draw / 2 ? WhiteWin : u < white + draw / 2 ? Draw : BlackWin;
}

TrainingPosition RandomTrainingPosition(ToolRng* rng) {
  TrainingPosition position{};
  std::memset(position.squares, Empty, 64);
  position.epSquare = NoSquare;
  position.sideToMove = static_cast<u8>(rng->Below(2));
  position.fullMove = static_cast<u16>(1 + rng->Below(80));
  position.halfMoveClock = static_cast<u16>(rng->Below(50));

  const u32 whiteKing = static_cast<u32>(rng->Below(64));
  u32 blackKing;
  do blackKing = static_cast<u32>(rng->Below(64));
  while (blackKing == whiteKing || Adjacent(whiteKing, blackKing));
  position.squares[whiteKing] = WhiteKing;
  position.squares[blackKing] = BlackKing;

  // Up to the full set per side: 8 pawns, 2 knights, 2 bishops, 2 rooks, 1 queen.
  static constexpr int Full[5] = {8, 2, 2, 2, 1};
  i32 balance = 0;
  for (u32 colour = White; colour <= Black; ++colour) {
    const double keep = 0.3 + 0.7 * rng->Uniform();  // how much material survives
    for (u32 type = 0; type < 5; ++type) {
      for (int n = 0; n < Full[type]; ++n) {
        if (rng->Uniform() >= keep) continue;
        const u8 piece = static_cast<u8>(2 * type + colour);
        position.squares[FreeSquare(position, rng, type == 0)] = piece;
        balance += colour == White ? PieceValue[piece] : -PieceValue[piece];
      }
    }
  }
  ScoreByMaterial(&position, balance, rng);
  return position;
}

void RandomGamePositions(ToolRng* rng, std::size_t count, std::vector<TrainingPosition>* positions) {
  auto list = std::make_unique<MoveList>();
  while (positions->size() < count) {
    Board board;
    SetFen(&board, StartFen);
    for (int ply = 0; ply < 160 && positions->size() < count; ++ply) {
      list->count = 0;
      GenerateLegalMoves(&board, list.get());
      if (list->count == 0 || board.halfMoveClock >= 100) break;
      if (ply >= 4) {
        TrainingPosition position = TrainingPositionFromBoard(&board);
        ScoreByMaterial(&position, board.material[White] - board.material[Black], rng);
        positions->push_back(position);
      }
      const u32 move = list->moves[rng->Below(static_cast<u64>(list->count))];
      MakeMove(&board, board.squares[MoveFrom(move)], move);
    }
  }
}
