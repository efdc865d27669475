// Where a search frame meets the network and the tablebases: the child's accumulator, the
// frame's static evaluation and the frame's tablebase probe, each keeping its statistics in
// the frame.
#pragma once

#include "board/types.h"

struct SearchFrame;

// After the frame's current move has been made on the board: derives the accumulator of the
// next ply from the frame's; captureSquare differs from the destination only for en passant.
void UpdateAccumulatorForMove(SearchFrame* frame, u32 captureSquare);
// The static evaluation of the frame's board; counts the call, and the network run, in the
// frame's statistics and leaves the recogniser code (and its parameter) in the frame.
i32 NnueEvaluate(SearchFrame* frame);
// The search's tablebase step for a node (after its transposition-table probe): when the node
// qualifies and a table holds its position, counts the hit, stores the score in the
// transposition table as a final result, marks the frame (a final node with an empty final
// line) and returns true with the node's score.
bool ProbeTablebase(SearchFrame* frame, i32* score);
