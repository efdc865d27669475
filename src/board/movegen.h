// Strictly legal move generation from the attack map: all moves, check evasions and the
// captures of the quiescence search, in a fixed order.
#pragma once

#include "board/board.h"
#include "board/move_list.h"

// The generators append at list->count; the caller sets it to 0 first.
void GenerateLegalMoves(Board* board, MoveList* list);
void GenerateEvasions(Board* board, MoveList* list);
// Captures, queen promotions and en passant; all evasions when in check.
void GenerateCaptures(Board* board, MoveList* list);
i32 CountLegalMoves(Board* board);
// The whole word must equal a legal move (ordinary moves carry promotion 12).
bool IsLegalMove(Board* board, u32 move);

// Pin-tested pawn move, expanded into promotions (Q, N, R, B) from the seventh rank.
void AddMoveIfLegal(Board* board, MoveList* list, u32 colour, u32 from, u32 to);
void AddWhiteEnPassant(Board* board, MoveList* list, u32 pawnSquare);
void AddBlackEnPassant(Board* board, MoveList* list, u32 pawnSquare);
// Every non-king move of the colour that ends on the square.
void AddEvasionBlocks(Board* board, MoveList* list, u32 square, u32 colour);
