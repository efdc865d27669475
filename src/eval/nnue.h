// The network evaluation: accumulators kept move by move, the output layer and the endgame
// recognisers that settle or scale drawish material first.
#pragma once

#include "board/board.h"
#include "eval/accumulator.h"

// Recogniser codes left in the search frame.
enum RecogniserCode : i32 {
  RecogniserNone = 0,
  RecogniserLoneMinorToMove = 1,    // side to move has only king and a minor: never above 0
  RecogniserLoneMinorOpponent = 2,  // the opponent has only king and a minor: never below 0
  RecogniserDraw = 4,               // drawn material: 0
  RecogniserOppositeBishops = 5,    // score scaled by param / 8
  RecogniserRookVsMinor = 6,        // rook against bishop or knight: 0
};

void RefreshAccumulator(const Board* board, Accumulator* acc);
// parent and child may be the same accumulator; captured 12 = none, promotion 12 = none.
void AccumulatorMoveDelta(const Accumulator* parent, Accumulator* child, u8 piece, u32 from,
                          u32 to, u8 captured, u32 captureSquare, u32 promotion);
// The deltas of one move, castling's rook included.
void AccumulatorApplyMove(const Accumulator* parent, Accumulator* child, u32 move, u8 movingPiece,
                          u8 capturedPiece, u32 captureSquare);

// (output sum + bias) / (QA * QA * QB) for the given side to move, truncated toward zero, unclamped.
i32 NnueRawOutput(const Accumulator* acc, u32 sideToMove);

struct NnueVerdict {
  i32 code;          // RecogniserCode; written on every call
  i32 param;         // written with the codes that carry one
  bool networkUsed;  // the output layer was computed
};
// The static evaluation of the board, whose accumulator is acc, from the side to move's view.
i32 NnueEvaluateBoard(const Board* board, const Accumulator* acc, NnueVerdict* verdict);
