// The history heuristic: how often a quiet move of a piece to a square caused a cut-off, and
// the largest such count, which scales it into the move-ordering scores.
#pragma once

#include "board/types.h"

extern u32 HistoryTable[12][64];  // [moving piece code][target square]
extern u32 HistoryMax;            // largest value written since the last clearing or ageing

// A new engine, a new game, the test runs.
void ClearHistory();
// Every search start: old counts fade to a sixteenth.
void AgeHistory();
