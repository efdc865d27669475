// Playing a move in place on a Board, every redundant form kept current; there is no unmake,
// callers copy the record to take a move back.
#pragma once

#include "board/board.h"

// movingPiece is the code on the move's from-square; the move must be legal in the position.
void MakeMove(Board* board, u8 movingPiece, u32 move);
