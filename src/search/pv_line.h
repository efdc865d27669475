// Principal variations as the search reports them, and the sorted list of best lines of a
// MultiPV search.
#pragma once

#include "board/types.h"

constexpr i32 PVMaxLength = 60;

struct PVLine {
  u32 moves[120];  // at most PVMaxLength are used
  u8 flag;         // 1: ends in a final result (mate, stalemate, tablebase value, recognised draw)
  i32 length;
  i32 score;       // side to move's view at the line's first position
};

// The line becomes move followed by the child's line (cut at PVMaxLength), with the child's
// flag and the given score.
inline void CopyLine(PVLine* line, u32 move, const PVLine* childLine, i32 score) {
  line->moves[0] = move;
  i32 length = 1;
  for (i32 k = 0; k < childLine->length && length < PVMaxLength; ++k)
    line->moves[length++] = childLine->moves[k];
  line->length = length;
  line->flag = childLine->flag;
  line->score = score;
}

constexpr u32 MultiPvCapacity = 20;
constexpr i32 MultiPvListFull = 9999;

struct MultiPvList {
  PVLine entries[MultiPvCapacity];  // each entry's first move is its root move; best first
  u32 count;

  // Enters the root move's line (rootMove, then childLine) with its score and returns its
  // place (0 = best), or MultiPvListFull when the list is full and the line is no better than
  // the last. A root move already in the list gets the new line and score.
  i32 update(u32 rootMove, const PVLine* childLine, i32 score);
};

// Count 0, every entry's length and flag 0.
void ClearMultiPvList(MultiPvList* list);
