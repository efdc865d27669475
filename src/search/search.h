// The principal-variation alpha-beta search of one node below the root, the score
// conventions of the whole search, and the parameters it runs with.
#pragma once

#include "board/make_move.h"
#include "board/zobrist.h"
#include "eval/network.h"
#include "eval/nnue.h"
#include "search/frame_entries.h"
#include "search/game_history.h"
#include "search/score.h"
#include "search/search_frame.h"
#include "search/search_params.h"
#include "search/transposition_table.h"

// Nodes and quiescence never go past this ply: the frame stack ends at 59.
constexpr i32 MaxSearchPly = 58;

// Counts Search nodes; the clock and the stop flag are read every 64 of them.
extern u32 NodePollCounter;

// Static pruning margin by remaining plies (150 below 0, 2000 from 8 on).
extern const i32 StaticPruneMargin[8];

// What the node's last result is worth to its caller, from its own side: a node that failed
// low or high gives only a bound, and an exact result is only as good as the line it took.
inline u8 ResultBound(const SearchFrame* frame) {
  if (frame->nodeType == TTUpper) return PVUpperBound;
  if (frame->nodeType == TTLower) return PVLowerBound;
  return frame->nodeType == TTExact ? frame->line.bound : PVExact;
}

// What a root move's score v, strictly inside the window it was searched with, says to the
// interface: the score itself. Only a mate-band score that rests on a bound of the child's is
// marked with that bound, since a mate distance claims to be exact and a bound of one may
// never be reached.
inline u8 InsideWindowBound(i32 v, const SearchFrame* child) {
  return InMateBand(v) ? FlippedBound(ResultBound(child)) : PVExact;
}

// Score of the node from the side to move's view, 999999 when aborted. The frame's board is
// the position, the history's top entry the move that led here, and this ply's accumulator
// is current; board and history are as on entry afterwards.
i32 Search(SearchFrame* frame, i32 alpha, i32 beta, i32 depth64);

// The square of the piece a move takes: beside the target for en passant.
inline u32 CaptureSquareOf(const Board* board, u32 move, u8 movingPiece) {
  u32 to = MoveTo(move);
  if (to == board->epSquare && TypeOf(movingPiece) == 0) return ColourOf(movingPiece) == White ? to - 1 : to + 1;
  return to;
}

// The key of the position after the move, for a prefetch only: castling-right changes,
// promotions and the castling rook are left out, so for those moves it is some other key.
inline u64 ChildKeyHint(const Board* board, u32 move, u8 movingPiece, u8 capturedPiece,
                        u32 captureSquare) {
  const u32 from = MoveFrom(move), to = MoveTo(move);
  u64 key = board->key ^ ZobristSide ^ ZobristPieceSquare[movingPiece][from] ^
            ZobristPieceSquare[movingPiece][to] ^ ZobristEnPassant[board->epSquare];
  if (capturedPiece != Empty) key ^= ZobristPieceSquare[capturedPiece][captureSquare];
  const bool doublePush = TypeOf(movingPiece) == 0 && (to == from + 2 || from == to + 2);
  return key ^ ZobristEnPassant[doublePush ? (from + to) / 2 : NoSquare];
}

// Makes a move from the frame's position. The history's next entry already holds the board
// (saved once per node); the move, its key and the child's accumulator are filled in here.
// childProbesTable is false for the quiescence search, whose nodes never read the table.
inline void MakeFrameMove(SearchFrame* frame, u32 move, u8 movingPiece, u8 capturedPiece,
                          u32 captureSquare, bool childProbesTable = true) {
  GameHistory* history = frame->history;
  HistoryEntry* entry = &history->entries[history->count];
  Board* board = frame->board;
  frame->currentMove = move;
  frame->movingPiece = movingPiece;
  frame->capturedPiece = capturedPiece;
  entry->move = move;
  // The child probes its bucket first thing: fetch it while the move is made.
  if (childProbesTable && TT.table)
    __builtin_prefetch(
        &TT.table[ChildKeyHint(board, move, movingPiece, capturedPiece, captureSquare) & TT.mask]);
  MakeMove(board, movingPiece, move);
  entry->key = board->key;
  history->count += 1;
  frame->stats.nodes += 1;
  if (Network.loaded) UpdateAccumulatorForMove(frame, captureSquare);
}
