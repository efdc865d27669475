// Selecting the next move of a scored list.
#include "board/move_list.h"

void PickNextMove(MoveList* list) {
  i32 best = list->next;
  i32 bestScore = list->scores[best];
  for (i32 i = list->next + 1; i < list->count; ++i) {
    if (list->scores[i] > bestScore) {
      best = i;
      bestScore = list->scores[i];
    }
  }
  u32 move = list->moves[best];
  list->moves[best] = list->moves[list->next];
  list->moves[list->next] = move;
  list->scores[best] = list->scores[list->next];
  list->scores[list->next] = bestScore;
  list->pickedScore = bestScore;
  ++list->next;
}
