// Accumulator maintenance and the evaluation with its endgame recognisers.
#include "eval/nnue.h"

#include <cstring>

#include "eval/network.h"
#include "eval/simd.h"

static inline const i16* Row(u32 perspective, u32 piece, u32 square) {
  return Network.featureWeights[Network.featureIndex[perspective][64 * piece + square]];
}

void RefreshAccumulator(const Board* board, Accumulator* acc) {
  std::memset(acc->half, 0, sizeof acc->half);
  for (u32 square = 0; square < 64; ++square) {
    const u32 piece = board->squares[square];
    if (piece == Empty) continue;
    RowAdd(acc->half[White], Row(White, piece, square));
    RowAdd(acc->half[Black], Row(Black, piece, square));
  }
}

void AccumulatorMoveDelta(const Accumulator* parent, Accumulator* child, u8 piece, u32 from,
                          u32 to, u8 captured, u32 captureSquare, u32 promotion) {
  const u32 placed = promotion == NoPromotion ? piece : (promotion | (piece & 1u));
  for (u32 perspective = 0; perspective < 2; ++perspective) {
    const i16* removed = Row(perspective, piece, from);
    const i16* added = Row(perspective, placed, to);
    if (captured == Empty) {
      RowAddSub(child->half[perspective], parent->half[perspective], added, removed);
    } else {
      RowAddSubSub(child->half[perspective], parent->half[perspective], added, removed,
                   Row(perspective, captured, captureSquare));
    }
  }
}

struct CastlingRookMove {
  u8 king;
  u8 kingFrom, kingTo;
  u8 rook;
  u8 rookFrom, rookTo;
};
static constexpr CastlingRookMove CastlingRookMoves[4] = {
    {WhiteKing, MakeSquare(4, 0), MakeSquare(6, 0), WhiteRook, MakeSquare(7, 0), MakeSquare(5, 0)},
    {WhiteKing, MakeSquare(4, 0), MakeSquare(2, 0), WhiteRook, MakeSquare(0, 0), MakeSquare(3, 0)},
    {BlackKing, MakeSquare(4, 7), MakeSquare(6, 7), BlackRook, MakeSquare(7, 7), MakeSquare(5, 7)},
    {BlackKing, MakeSquare(4, 7), MakeSquare(2, 7), BlackRook, MakeSquare(0, 7), MakeSquare(3, 7)},
};

void AccumulatorApplyMove(const Accumulator* parent, Accumulator* child, u32 move, u8 movingPiece,
                          u8 capturedPiece, u32 captureSquare) {
  const u32 from = MoveFrom(move);
  const u32 to = MoveTo(move);
  AccumulatorMoveDelta(parent, child, movingPiece, from, to, capturedPiece, captureSquare,
                       MovePromotion(move));
  if (movingPiece != WhiteKing && movingPiece != BlackKing) return;
  for (const CastlingRookMove& c : CastlingRookMoves) {
    if (movingPiece == c.king && from == c.kingFrom && to == c.kingTo) {
      AccumulatorMoveDelta(child, child, c.rook, c.rookFrom, c.rookTo, Empty, 0, NoPromotion);
      return;
    }
  }
}

static i64 OutputNumerator(const Accumulator* acc, u32 sideToMove) {
  return OutputSum(acc->half[sideToMove], acc->half[sideToMove ^ 1], Network.outputWeights[0],
                   Network.outputWeights[1]) +
         Network.outputBias;
}

i32 NnueRawOutput(const Accumulator* acc, u32 sideToMove) {
  return static_cast<i32>(OutputNumerator(acc, sideToMove) / NnueOutputDivisor);
}

static inline u32 Count(const Board* board, u32 piece) { return board->pieceLists[piece].count; }
static inline u32 SquareColour(u32 square) { return (FileOf(square) + RankOf(square)) & 1; }

i32 NnueEvaluateBoard(const Board* board, const Accumulator* acc, NnueVerdict* verdict) {
  verdict->code = RecogniserNone;
  verdict->networkUsed = false;
  const u32 pieces = board->pieceCount[White] + board->pieceCount[Black];
  const u32 pawns = Count(board, WhitePawn) + Count(board, BlackPawn);
  bool skipBishops = false;
  if (pieces <= 4) {
    const i32 material = board->material[White] + board->material[Black];
    const u32 bishops = Count(board, WhiteBishop) + Count(board, BlackBishop);
    const u32 knights = Count(board, WhiteKnight) + Count(board, BlackKnight);
    const u32 whiteMinors = Count(board, WhiteBishop) + Count(board, WhiteKnight);
    const u32 blackMinors = Count(board, BlackBishop) + Count(board, BlackKnight);
    if (material < 500 && pawns == 0) {
      verdict->code = RecogniserDraw;
      verdict->param = 0;
      return 0;
    }
    if (pieces == 4) {
      if ((board->material[White] == board->material[Black] && bishops == 2) || knights == 2) {
        verdict->code = RecogniserDraw;
        return 0;
      }
      if ((Count(board, WhiteRook) == 1 && blackMinors == 1) ||
          (Count(board, BlackRook) == 1 && whiteMinors == 1)) {
        verdict->code = RecogniserRookVsMinor;
        return 0;
      }
    } else {
      skipBishops = true;
    }
  }
  if (!skipBishops && pieces - pawns == 4 && Count(board, WhiteBishop) == 1 &&
      Count(board, BlackBishop) == 1 &&
      SquareColour(board->pieceLists[WhiteBishop].squares[0]) !=
          SquareColour(board->pieceLists[BlackBishop].squares[0])) {
    verdict->code = RecogniserOppositeBishops;
    verdict->param = static_cast<i32>(pawns / 4 + 2);
  }
  const u32 us = SideToMove(board);
  const u32 them = us ^ 1;
  auto loneMinor = [board](u32 colour) {
    return board->pieceCount[colour] == 2 &&
           Count(board, WhiteBishop | colour) + Count(board, WhiteKnight | colour) == 1;
  };
  if (loneMinor(us)) {
    verdict->code = RecogniserLoneMinorToMove;
    verdict->param = 0;
  }
  if (loneMinor(them)) {
    verdict->code = RecogniserLoneMinorOpponent;
    verdict->param = 0;
  }

  verdict->networkUsed = true;
  i64 score = OutputNumerator(acc, us) / NnueOutputDivisor;
  if (score > NnueScoreClamp) score = NnueScoreClamp;
  if (score < -NnueScoreClamp) score = -NnueScoreClamp;
  i32 result = static_cast<i32>(score);
  if (verdict->code == RecogniserLoneMinorToMove && result > 0) result = 0;
  if (verdict->code == RecogniserLoneMinorOpponent && result < 0) result = 0;
  if (verdict->code == RecogniserOppositeBishops) result = (result * verdict->param) >> 3;
  return result == -1 ? 0 : result;
}
