// Following a line from the game's position to the first position that draws the game.
#include "search/line_draws.h"

#include <algorithm>

#include "board/attack_map.h"
#include "board/make_move.h"
#include "board/movegen.h"
#include "search/game_history.h"

bool IsCheckmate(const Board* board) {
  if (!InCheck(board)) return false;
  Board scratch = *board;
  return CountLegalMoves(&scratch) == 0;
}

void DrawWatch::start(const Board* board, const GameHistory* history) {
  // Positions k plies back: the history's keys, and before its first move the position that
  // move was made from.
  const i32 moves = history ? static_cast<i32>(history->count) : 0;
  const i32 back = std::min({static_cast<i32>(board->halfMoveClock), moves, FiftyMoveClock});
  count = 0;
  for (i32 k = back; k >= 1; --k) {
    const i32 index = moves - 1 - k;
    keys[count++] = index >= 0 ? history->entries[index].key : history->entries[0].before.key;
  }
  keys[count++] = board->key;
}

bool DrawWatch::reached(const Board* board) {
  const i32 clock = static_cast<i32>(board->halfMoveClock);
  bool drawn = DrawnByFiftyMoves(board);
  i32 occurrences = 1;
  for (i32 k = 2; k <= clock && k <= count && !drawn; k += 2) {
    if (keys[count - k] == board->key) drawn = ++occurrences >= DrawingRepetitions;
  }
  if (count < Capacity) keys[count++] = board->key;
  return drawn;
}

bool EndLineAtGameDraw(Board* board, const GameHistory* history, PVLine* line) {
  const i32 length = std::clamp(line->length, 0, PVMaxLength);
  const Board saved = *board;
  DrawWatch watch;
  watch.start(board, history);
  bool drawn = false;
  i32 kept = 0;
  while (kept < length && !drawn) {
    const u32 move = line->moves[kept];
    if (!IsLegalMove(board, move)) break;
    MakeMove(board, board->squares[MoveFrom(move)], move);
    drawn = watch.reached(board);
    ++kept;
  }
  *board = saved;
  line->length = kept;
  return drawn;
}
