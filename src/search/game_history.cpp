// Pushing game moves with the drop of the oldest quarter when full, and taking entries back.
#include "search/game_history.h"

#include <cstring>

#include "board/make_move.h"

void PushGameMove(GameHistory* history, u32 move, u8 engineMove) {
  if (history->count >= GameHistoryGameLimit) {
    std::memmove(&history->entries[0], &history->entries[GameHistoryDropCount],
                 (history->count - GameHistoryDropCount) * sizeof(HistoryEntry));
    history->count -= GameHistoryDropCount;
    history->learnDone = 1;
  }
  Board* board = history->board;
  HistoryEntry& entry = history->entries[history->count];
  entry.before = *board;
  entry.move = move;
  entry.engineMove = engineMove;
  MakeMove(board, board->squares[MoveFrom(move)], move);
  entry.key = board->key;
  history->count += 1;
}

bool UndoMove(GameHistory* history) {
  if (history->count == 0) return false;
  history->count -= 1;
  const HistoryEntry& entry = history->entries[history->count];
  Board* board = history->board;
  if (entry.move == NoMove) {
    board->key = entry.before.key;
    board->epSquare = entry.before.epSquare;
    board->gamePly = entry.before.gamePly;
    board->phase = entry.before.phase;
    history->partialRestores += 1;
  } else {
    *board = entry.before;
    history->fullRestores += 1;
  }
  return true;
}
