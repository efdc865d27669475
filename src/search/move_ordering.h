// Order scores for the moves of a search node: table and principal-variation moves first, then
// captures by victim and attacker with attack-map corrections, killers, and quiet moves by
// history; and the killer and history updates after a cut-off.
#pragma once

#include "board/board.h"

struct SearchFrame;

// [attacker type][victim type]: victim value - 15 x attacker type (the king as victim 30000).
extern const i32 CaptureOrderTable[6][6];

// Node ordering inside the search.
constexpr i32 OrderPvMove = 200000002;
constexpr i32 OrderTTMove0 = 200000001;
constexpr i32 OrderTTMove1 = 200000000;
constexpr i32 OrderKiller0 = 98 * 256;
constexpr i32 OrderKiller1 = 97 * 256;
// Ordering of the root moves.
constexpr i32 RootOrderPvMove = 10000002;
constexpr i32 RootOrderKiller0 = 99;
constexpr i32 RootOrderKiller1 = 98;

// A piece of `colour` on the square is attacked by the other side and not defended.
inline bool IsHanging(const Board* board, u32 square, u32 colour) {
  return (board->attacks.attacked[colour ^ 1] & SquareBit[square]) != 0 &&
         (board->attacks.attacked[colour] & SquareBit[square]) == 0;
}
// The move is a pawn's move onto the en-passant square.
inline bool IsEnPassant(const Board* board, u32 move) {
  return MoveTo(move) == board->epSquare && TypeOf(board->squares[MoveFrom(move)]) == 0;
}
// Code of the piece the move takes: the pawn beside the target for en passant, else Empty for
// a quiet move.
inline u8 CapturedPieceOf(const Board* board, u32 move) {
  if (IsEnPassant(board, move)) return static_cast<u8>(WhitePawn | (SideToMove(board) ^ 1));
  return board->squares[MoveTo(move)];
}

// Full scores of one move once the table moves have been tried (times 256 included).
i32 CaptureOrderScore(const Board* board, u32 move, const u32 captureKillers[2]);
// grandparentKillers is null at ply 1 and below.
i32 QuietOrderScore(const Board* board, u32 move, const u32 killers[2],
                    const u32* grandparentKillers);
// Score of one root move before an iteration.
i32 RootOrderScore(const Board* board, u32 move, u32 pvMove, const u32 killers[2]);

// The shift that brings history entries below 256 (every entry is 0 while HistoryMax < 256).
u32 HistoryShift();
// A quiet cut-off: the entry grows by (depth in plies + 1)^2 at depth64 >= 0, saturating.
void AddHistory(u8 movingPiece, u32 to, i32 depth64);
// A repeated second move becomes the first, a new one replaces the second.
void UpdateKillerPair(u32 pair[2], u32 move);

// Phase 1 after generation: only the previous line's move and the table moves are scored.
void ScoreMovesPhase1(SearchFrame* frame);
// Phase 2: every move of the list gets its full score.
void ScoreMovesPhase2(SearchFrame* frame);
// Selects the frame's next move. The first time the pick has score 0 (the table moves are
// tried), runs phase 2 and picks again from the same position; *phaseTwoDone remembers it.
void PickOrderedMove(SearchFrame* frame, bool* phaseTwoDone);
// Root ordering for the frame's whole list (the root before each iteration, console listing).
void ScoreMoves(SearchFrame* frame);
// After a cut-off by `move`: capture killers for a capture, else history and killers.
void UpdateOrderingAfterCutoff(SearchFrame* frame, u32 move, u8 movingPiece, u8 capturedPiece,
                               i32 depth64);
