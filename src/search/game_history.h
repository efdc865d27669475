// The moves of the current game, each with the whole board before it: repetition tests, take
// backs, book learning, and the search's undo stack beyond the game's own moves.
#pragma once

#include "board/board.h"

struct HistoryEntry {
  u64 key;        // position key after the move
  u32 move;
  Board before;   // the whole position before the move
  u8 engineMove;  // 1 when the engine itself played it
};

// The game keeps at most 1024 entries; the rest is room for the plies of a search.
constexpr u32 GameHistoryCapacity = 1086;
constexpr u32 GameHistoryGameLimit = 1024;
constexpr u32 GameHistoryDropCount = 256;

// Large (each entry holds a Board): allocate it once on the heap, never on a stack.
struct GameHistory {
  Board* board;  // the engine's current board
  HistoryEntry entries[GameHistoryCapacity];
  u32 count;
  u8 learnDone;  // set once old entries were dropped or the game was learned
  u64 fullRestores;
  u64 partialRestores;
};

// Appends the move and makes it on the board (the move must be legal there); when the game
// already holds 1024 entries the oldest 256 are dropped first.
void PushGameMove(GameHistory* history, u32 move, u8 engineMove = 0);
// Takes back the last entry: the whole board, or for a null move only key, en-passant square,
// game ply and phase. Refused (false, nothing changed) on an empty history.
bool UndoMove(GameHistory* history);
