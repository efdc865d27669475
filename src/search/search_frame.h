// One ply of the engine's search stack: window, depth, extension, killers, table moves, the
// node's moves and principal variation, and its statistics.
#pragma once

#include "board/board.h"
#include "board/move_list.h"
#include "search/pv_line.h"

struct Engine;
struct GameHistory;
struct TTBucket;

constexpr i32 SearchFrameCount = 60;

// 64-bit counters: a long analysis overflows 32 bits.
struct SearchStats {
  u64 nodes;
  u64 quiescenceNodes;
  u64 afterNullNodes;       // nodes entered after a null move
  u64 failHighs;
  u64 failHighsFirst;       // fail-highs on the first move
  double failHighEfficiency;  // sum of 1 / (moveIndex + 1) over fail-highs
  u64 ttHits;
  u64 ttMisses;
  u64 tablebaseHits;
  u64 nodeTypes[4];         // node types 1..4
  u64 nullWindowSearches;
  u64 reSearches;
  u64 evalCalls;            // every NnueEvaluate call
  u64 networkEvals;         // the calls that ran the network
  u64 orderedMoves;         // moves given a nonzero order score
  u64 unorderedMoves;       // moves given score 0
  u64 inCheckNodes;
};

struct SearchFrame {
  Engine* engine;
  GameHistory* history;  // the game history, also the search's undo stack
  u32 killers[2];
  u32 captureKillers[2];
  TTBucket* hit;         // bucket of the last matching probe, or null
  u32 ttMoves[2];
  u32 flags;             // bit 0: the null move here revealed a mate threat
  Board* board;          // the engine's board, shared by all frames
  SearchFrame* parent;
  SearchFrame* child;
  i32 ply;
  i32 depth64;           // remaining depth in 1/64 ply
  i32 alpha;
  i32 beta;
  i32 staticEval;
  i32 extension;
  PVLine line;
  MoveList moves;
  i32 moveIndex;
  u32 currentMove;       // NoMove during the null-move test
  u8 movingPiece;        // 64 during the null move
  u8 capturedPiece;      // 12 = none; the pawn for en passant
  u32 pvMove;            // previous iteration's PV move at this ply, 0 if none
  i32 onPvPath;
  i32 nodeType;          // a TTBound: upper bound, cut-off (lower bound), exact or final
  SearchStats stats;
  i32 recogniserCode;
  i32 recogniserParam;
};
