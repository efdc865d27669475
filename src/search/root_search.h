// The search of one position as Think and the test tools ask for it: iterative deepening
// with aspiration windows over the root moves, or MultiPV with several best lines.
#pragma once

#include "board/types.h"

struct Engine;

// The most lines a MultiPV search keeps; a protocol's count is held to 1..MaxMultiPv.
constexpr i32 MaxMultiPv = 20;

// Searches the engine's current position up to its maxDepth (or until stopped or out of
// time). The result is frame 0's line: its first move is the best move, its score the score.
void SearchRoot(Engine* engine);

// The score added to a root move that the book lists with too small a share, from -400 (share
// 0) towards 0; 0 for moves the book does not list.
i32 RootBookBonus(const Engine* engine, u32 move);

// Nodes of the current search: the node counts of all search frames.
u64 SearchNodes(const Engine* engine);
// Nodes per second since the active controller's start, elapsed time at least 1 ms.
i32 SearchNodesPerSecond(const Engine* engine, u64 nodes);
