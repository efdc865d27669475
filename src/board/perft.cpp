// Perft: leaf counting with one static move list per remaining depth.
#include "board/perft.h"

#include "board/make_move.h"
#include "board/movegen.h"

MoveList PerftMoveLists[PerftMaxDepth + 1];

u64 Perft(Board* board, u32 depth) {
  if (depth == 0) return 1;
  if (depth > PerftMaxDepth) return 0;  // no list for it; callers refuse such depths
  MoveList* list = &PerftMoveLists[depth];
  list->count = 0;
  GenerateLegalMoves(board, list);
  // The last ply is counted, not made.
  if (depth == 1) return static_cast<u64>(list->count);
  Board saved = *board;
  u64 sum = 0;
  for (i32 i = 0; i < list->count; ++i) {
    u32 move = list->moves[i];
    MakeMove(board, board->squares[MoveFrom(move)], move);
    sum += Perft(board, depth - 1);
    *board = saved;
  }
  return sum;
}
