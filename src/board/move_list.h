// The list that generators fill and the search picks from, with one order score per move.
#pragma once

#include <cassert>

#include "board/types.h"

constexpr int MoveListCapacity = 300;

struct MoveList {
  u32 moves[MoveListCapacity];
  i32 scores[MoveListCapacity];
  i32 next;         // selection cursor of PickNextMove
  i32 count;
  i32 pickedScore;  // score of the move last picked
};

inline void AppendMove(MoveList* list, u32 move) {
  assert(list->count < MoveListCapacity);
  list->moves[list->count++] = move;
}

// Moves the best-scored remaining move (earliest on ties) to the cursor and advances it.
void PickNextMove(MoveList* list);
