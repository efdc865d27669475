// Quiescence: stand pat, delta and exchange pruning, captures and promotions by exchange value.
#include "search/quiescence.h"

#include <bit>

#include "board/attack_map.h"
#include "board/movegen.h"
#include "eval/see.h"
#include "search/engine.h"
#include "search/frame_entries.h"
#include "search/search.h"

const i32 QuiesceDeltaMargin[10] = {1000, 500, 350, 250, 200, 180, 160, 145, 135, 130};

i32 StaticEvaluation(SearchFrame* frame) {
  if (!ActiveParams.materialOnly) return NnueEvaluate(frame);
  const Board* board = frame->board;
  u32 us = SideToMove(board);
  i64 balance = i64{board->material[us]} - board->material[us ^ 1];
  i64 score = (balance * ActiveParams.evalMaterial) >> 6;
  frame->recogniserCode = 0;
  if (score > EvalClamp) return EvalClamp;
  if (score < -EvalClamp) return -EvalClamp;
  return static_cast<i32>(score);
}

static inline i32 DeltaIndex(i32 depth64) {
  if (depth64 >= 0) return 0;
  return -depth64 <= 639 ? -depth64 / OnePly : 9;
}

// Material a capture or promotion brings in, for the delta test.
static inline i32 MoveGain(u8 capturedPiece, u32 move) {
  i32 gain = PieceValue[capturedPiece];
  u32 promotion = MovePromotion(move);
  if (promotion != NoPromotion) gain += PieceValue[promotion] - 100;
  return gain;
}

i32 Quiesce(SearchFrame* frame, i32 alpha, i32 beta, i32 depth64) {
  Board* board = frame->board;
  const SearchParams& p = ActiveParams;
  frame->flags = 0;
  frame->depth64 = depth64;
  frame->nodeType = TTUpper;
  frame->moveIndex = 0;
  frame->line.length = 0;
  frame->line.flag = 0;
  const i32 margin0 = QuiesceDeltaMargin[DeltaIndex(depth64)];
  const u32 us = SideToMove(board);
  const bool inCheck = InCheck(board);

  MoveList* moves = &frame->moves;
  moves->count = 0;
  moves->next = 0;
  i32 best;
  if (inCheck) {
    GenerateLegalMoves(board, moves);
    if (moves->count == 0) return frame->ply - MateScore;
    i32 eval = StaticEvaluation(frame);
    frame->staticEval = eval;
    if (frame->recogniserCode == RecogniserDraw) {
      frame->line.flag = 1;
      return eval;
    }
    // The side in check may stand pat.
    if (eval >= beta || frame->ply > MaxSearchPly) return eval;
    best = alpha > eval ? alpha : eval;
  } else {
    i32 eval = StaticEvaluation(frame);
    frame->staticEval = eval;
    if (frame->recogniserCode == RecogniserDraw) {
      frame->line.flag = 1;
      return eval;
    }
    i32 margin = margin0 + HangingValue(board, us ^ 1);
    if (KingRuleFires(p.ksQsMargin, [&] { return KingZoneAttacks(board, static_cast<int>(us ^ 1)); }))
      margin += 600;
    if (eval + margin < alpha && p.qsPrune1) return eval;
    if (eval >= beta || frame->ply > MaxSearchPly) return eval;
    best = alpha > eval ? alpha : eval;
    GenerateCaptures(board, moves);
  }
  if (moves->count == 0) return best;

  const bool onPvPath = frame->parent->onPvPath != 0;
  for (i32 i = 0; i < moves->count; ++i) {
    u32 move = moves->moves[i];
    moves->scores[i] = onPvPath && move == frame->pvMove
                           ? 200000002
                           : StaticExchangeEval(&board->attacks, move) +
                                 PieceValue[MovePromotion(move)];
  }
  GameHistory* history = frame->history;
  history->entries[history->count].before = *board;

  const bool breakAllowed =
      !inCheck &&
      !KingRuleFires(p.ksQsBreak, [&] { return KingZoneAttacks(board, static_cast<int>(us)); });
  const i32 staticEval = frame->staticEval;
  SearchFrame* child = frame->child;
  while (moves->next < moves->count) {
    PickNextMove(moves);
    u32 move = moves->moves[moves->next - 1];
    i32 orderScore = moves->pickedScore;
    // Every later move scores no higher.
    if (breakAllowed && orderScore < 1 && p.qsPrune2) return best;
    u8 mover = board->squares[MoveFrom(move)];
    u32 captureSquare = CaptureSquareOf(board, move, mover);
    u8 captured = board->squares[captureSquare];
    if (staticEval + MoveGain(captured, move) + margin0 < best) continue;
    if (orderScore < 0) return best;

    frame->onPvPath = frame->parent->onPvPath && move == frame->pvMove;
    MakeFrameMove(frame, move, mover, captured, captureSquare, false);
    frame->stats.quiescenceNodes += 1;
    i32 score = -Quiesce(child, -beta, -best, depth64 - OnePly);
    UndoMove(history);

    if (score > best) {
      if (score >= beta) {
        frame->nodeType = TTLower;
        return score;
      }
      CopyLine(&frame->line, move, &child->line, score);
      best = score;
      frame->nodeType = TTExact;
    }
  }
  return best;
}
