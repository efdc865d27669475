// Principal variations as the search reports them, and the sorted list of best lines of a
// MultiPV search.
#pragma once

#include "board/types.h"

constexpr i32 PVMaxLength = 60;

// What a line's score says: the value itself, or only a bound of it (a window that failed, or
// a result that rests on one). The bounds have the codes the protocols' reports use.
constexpr u8 PVExact = 0;
constexpr u8 PVUpperBound = 1;
constexpr u8 PVLowerBound = 2;

// The same bound seen from the other side of a move: a score negated.
constexpr u8 FlippedBound(u8 bound) {
  return bound == PVUpperBound ? PVLowerBound : bound == PVLowerBound ? PVUpperBound : PVExact;
}

struct PVLine {
  u32 moves[120];  // at most PVMaxLength are used
  u8 flag;         // 1: ends in a final result (mate, stalemate, tablebase value, recognised draw)
  u8 bound;        // PVExact (0), PVUpperBound or PVLowerBound
  i32 length;
  i32 score;       // side to move's view at the line's first position
};

// The line becomes move followed by the child's line (cut at PVMaxLength), with the child's
// flag, the given score and an exact bound.
inline void CopyLine(PVLine* line, u32 move, const PVLine* childLine, i32 score) {
  line->moves[0] = move;
  i32 length = 1;
  for (i32 k = 0; k < childLine->length && length < PVMaxLength; ++k)
    line->moves[length++] = childLine->moves[k];
  line->length = length;
  line->flag = childLine->flag;
  line->bound = PVExact;
  line->score = score;
}

constexpr u32 MultiPvCapacity = 20;
constexpr i32 MultiPvListFull = 9999;

struct MultiPvList {
  PVLine entries[MultiPvCapacity];  // each entry's first move is its root move; best first
  u32 count;

  // Enters the root move's line (rootMove, then childLine) with its score and that score's
  // bound, and returns its place (0 = best), or MultiPvListFull when the list is full and the
  // line is no better than the last. A root move already in the list gets the new line and score.
  i32 update(u32 rootMove, const PVLine* childLine, i32 score, u8 bound = PVExact);
};

// Count 0, every entry's length and flag 0.
void ClearMultiPvList(MultiPvList* list);
