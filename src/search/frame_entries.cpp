#include "search/frame_entries.h"

#include "config/params.h"
#include "eval/nnue.h"
#include "search/engine.h"
#include "search/search_frame.h"
#include "search/transposition_table.h"
#include "tablebase/probe.h"

// Tablebase scores are exact whatever the depth: stored as final results at the deepest ply.
constexpr i32 TablebaseScoreDepth64 = SearchFrameCount * OnePly;

void UpdateAccumulatorForMove(SearchFrame* frame, u32 captureSquare) {
  // The searches stop making moves at ply 59; past it there is no child accumulator to write.
  if (frame->ply + 1 >= SearchFrameCount) return;
  Accumulator* accumulators = frame->engine->accumulators;
  AccumulatorApplyMove(&accumulators[frame->ply], &accumulators[frame->ply + 1],
                       frame->currentMove, frame->movingPiece, frame->capturedPiece,
                       captureSquare);
}

i32 NnueEvaluate(SearchFrame* frame) {
  ++frame->stats.evalCalls;
  NnueVerdict verdict{RecogniserNone, frame->recogniserParam, false};
  const i32 score =
      NnueEvaluateBoard(frame->board, &frame->engine->accumulators[frame->ply], &verdict);
  frame->recogniserCode = verdict.code;
  frame->recogniserParam = verdict.param;
  if (verdict.networkUsed) ++frame->stats.networkEvals;
  return score;
}

bool ProbeTablebase(SearchFrame* frame, i32* score) {
  const SearchFrame* parent = frame->parent;
  const bool capturedOrPromoted =
      parent && (parent->capturedPiece != Empty ||
                 MovePromotion(parent->currentMove) != NoPromotion);
  if (!TablebaseProbeWanted(frame->board, frame->engine->useTablebases != 0, frame->ply,
                            frame->depth64, egtb_depth.load(std::memory_order_relaxed),
                            capturedOrPromoted))
    return false;
  if (!ProbeTablebaseScore(frame->board, frame->ply, score)) return false;
  ++frame->stats.tablebaseHits;
  TT.store(frame->board, TTFinal, EmptyMove, *score, TablebaseScoreDepth64, frame->ply);
  frame->nodeType = TTFinal;
  frame->line.flag = 1;
  frame->line.length = 0;
  return true;
}
