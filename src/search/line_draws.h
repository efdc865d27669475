// Where a principal variation has to end because the game is drawn there: the third occurrence
// of a position, counting the game's positions and the line's own, or the fiftieth move
// without a capture or pawn move.
#pragma once

#include "board/board.h"
#include "search/pv_line.h"

struct GameHistory;

// Half-move clock of a position drawn by the fifty-move rule.
constexpr i32 FiftyMoveClock = 100;
// The fifty-move rule draws a position with the clock at FiftyMoveClock or more unless the side
// to move is checkmated there: the mate ends the game first.
bool IsCheckmate(const Board* board);
inline bool DrawnByFiftyMoves(const Board* board) {
  return board->halfMoveClock >= FiftyMoveClock && !IsCheckmate(board);
}
// Occurrences of a position that draw the game.
constexpr i32 DrawingRepetitions = 3;

// The positions of a game that can still repeat, then those of a line played on from it.
struct DrawWatch {
  // A line position looks back no further than its half-move clock, and the first line
  // position with a clock of FiftyMoveClock is drawn: older game positions never count.
  static constexpr i32 Capacity = FiftyMoveClock + 1 + PVMaxLength + 1;
  u64 keys[Capacity];
  i32 count;

  // Starts from the board's position, with the positions of the game before it (the history's
  // moves lead up to the board) back to the last capture or pawn move.
  void start(const Board* board, const GameHistory* history);
  // Notes the position now on the board, reached by the line's next move; true when the game
  // is drawn there.
  bool reached(const Board* board);
};

// Cuts the line after its first move that reaches a drawn position (that move stays), and at a
// move that is not legal. The board is played on and left as it was. True when the line now
// ends in a drawn position.
bool EndLineAtGameDraw(Board* board, const GameHistory* history, PVLine* line);
