// The tablebase probe of the search: a position's material finds its table, the index
// function its value byte through the block cache, and the value becomes an exact score.
#pragma once

#include "board/board.h"

// Most men of any registered table (InitTablebases' result); set by start-up and NalimovPath.
extern int TablebaseMaxMen;

// The score of a value byte at the ply; false for 127 (no information).
bool TableValueToScore(i32 value, i32 ply, i32* score);

// The conditions under which the search probes a node: tables in use; the first ply, or deep
// enough (depth64 >= egtbDepth) after a capture or a promotion; few enough men.
bool TablebaseProbeWanted(const Board* board, bool useTablebases, i32 ply, i32 depth64,
                          i32 egtbDepth, bool parentCapturedOrPromoted);

// Looks the position up: true with the score from the side to move's view when a table holds
// it. Reads a block from disk only on a cache miss.
bool ProbeTablebaseScore(const Board* board, i32 ply, i32* score);

// The en-passant square to hand to the index functions, in table numbering: the board's square
// when a pawn of the side to move stands beside the pawn that has just made its double step,
// else TbNoSquare.
u32 TablebaseEnPassantSquare(const Board* board);
