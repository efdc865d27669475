// Counting the leaves of the legal-move tree, the yardstick of generation and making moves.
#pragma once

#include "board/board.h"
#include "board/move_list.h"

constexpr u32 PerftMaxDepth = 14;

// One list per remaining depth, shared by every perft run (one run at a time).
extern MoveList PerftMoveLists[PerftMaxDepth + 1];

// Leaves at exactly `depth` plies (depth 0 counts 1); the board is returned unchanged.
// Depths above PerftMaxDepth are the caller's to refuse.
u64 Perft(Board* board, u32 depth);
