// Move ordering: the capture table, attack-map terms, killers and the history table.
#include "search/move_ordering.h"

#include <bit>

#include "board/attack_map.h"
#include "board/move_list.h"
#include "search/history_table.h"
#include "search/search_frame.h"

namespace {

constexpr i32 VictimOrderValue[6] = {100, 305, 325, 500, 1000, 30000};

constexpr i32 SixteenthOf(u8 piece) { return PieceValue[piece] >> 4; }

// A move onto a square the opponent attacks and the side to move covers at most once.
inline bool PoorlyDefendedTarget(const Board* board, u32 to, u32 side) {
  return board->attacks.words[to][side ^ 1] != 0 &&
         AttackerCount(board->attacks.words[to][side]) < 2;
}

// Whether the victim on `target` (of colour `victimColour`) attacks the square `square`.
bool VictimAttacks(const Board* board, u8 victim, u32 target, u32 square) {
  u32 relation = SquareRelation[square][target];
  if (relation == 0) return false;
  if (relation == 2) return TypeOf(victim) == TypeOf(WhiteKnight);
  u32 direction = (relation >> 2) & 7, distance = relation >> 5;
  switch (TypeOf(victim)) {
    case TypeOf(WhitePawn):
      // A white pawn one rank below the square, a black one one rank above.
      if (distance != 1) return false;
      return ColourOf(victim) == White ? (direction == 3 || direction == 5)
                                       : (direction == 1 || direction == 7);
    case TypeOf(WhiteKing):
      return distance == 1;
    case TypeOf(WhiteKnight):
      return false;
    default:
      return SliderField(board->attacks.words[square][ColourOf(victim)], direction) == distance;
  }
}

}  // namespace

// clang-format off
const i32 CaptureOrderTable[6][6] = {
#define TERVIK_ORDER_ROW(a) \
  {VictimOrderValue[0] - 15 * (a), VictimOrderValue[1] - 15 * (a), VictimOrderValue[2] - 15 * (a), \
   VictimOrderValue[3] - 15 * (a), VictimOrderValue[4] - 15 * (a), VictimOrderValue[5] - 15 * (a)}
    TERVIK_ORDER_ROW(0), TERVIK_ORDER_ROW(1), TERVIK_ORDER_ROW(2),
    TERVIK_ORDER_ROW(3), TERVIK_ORDER_ROW(4), TERVIK_ORDER_ROW(5),
#undef TERVIK_ORDER_ROW
};
// clang-format on

i32 CaptureOrderScore(const Board* board, u32 move, const u32 captureKillers[2]) {
  u32 from = MoveFrom(move), to = MoveTo(move), side = SideToMove(board);
  u8 mover = board->squares[from];
  bool enPassant = IsEnPassant(board, move);
  u8 victim = enPassant ? static_cast<u8>(WhitePawn | (side ^ 1)) : board->squares[to];
  i32 s = CaptureOrderTable[TypeOf(mover)][TypeOf(victim)] + PieceValue[MovePromotion(move)];
  if (!enPassant && TypeOf(mover) != TypeOf(WhitePawn) &&
      board->attacks.words[to][side ^ 1] != 0) {
    s -= SixteenthOf(mover);
    if (AttackerCount(board->attacks.words[to][side]) < 2) s -= 150;
  }
  if (IsHanging(board, from, side)) s += 50;
  if (!enPassant) {
    if (IsHanging(board, to, side ^ 1)) s += 50;
    // Taking a piece that attacks one of our hanging pieces relieves it.
    u64 hanging = board->occupied[side] & board->attacks.attacked[side ^ 1] &
                  ~board->attacks.attacked[side] & ~SquareBit[from];
    while (hanging) {
      u32 square = static_cast<u32>(std::countr_zero(hanging));
      hanging &= hanging - 1;
      if (VictimAttacks(board, victim, to, square)) s += SixteenthOf(board->squares[square]);
    }
  }
  if (move == captureKillers[0]) {
    s += 200;
  } else if (move == captureKillers[1]) {
    s += 100;
  }
  return s * 256;
}

u32 HistoryShift() {
  u32 bits = static_cast<u32>(std::bit_width(HistoryMax));
  return bits > 8 ? bits - 8 : bits;
}

namespace {

// QuietOrderScore with the history shift already taken: it is the same for every move of a
// list.
inline i32 QuietOrderScoreShifted(const Board* board, u32 move, const u32 killers[2],
                                  const u32* grandparentKillers, u32 historyShift) {
  if (move == killers[0]) return OrderKiller0;
  if (move == killers[1]) return OrderKiller1;
  u32 from = MoveFrom(move), to = MoveTo(move), side = SideToMove(board);
  u8 mover = board->squares[from];
  i32 s = PieceValue[MovePromotion(move)];
  if (TypeOf(mover) != TypeOf(WhitePawn) && PoorlyDefendedTarget(board, to, side))
    s -= SixteenthOf(mover);
  if (IsHanging(board, from, side)) s += SixteenthOf(mover);
  if (grandparentKillers) {
    if (move == grandparentKillers[0]) s += 2;
    if (move == grandparentKillers[1]) s += 1;
  }
  return static_cast<i32>(HistoryTable[mover][to] >> historyShift) + s * 256;
}

}  // namespace

i32 QuietOrderScore(const Board* board, u32 move, const u32 killers[2],
                    const u32* grandparentKillers) {
  return QuietOrderScoreShifted(board, move, killers, grandparentKillers, HistoryShift());
}

i32 RootOrderScore(const Board* board, u32 move, u32 pvMove, const u32 killers[2]) {
  if (move == pvMove) return RootOrderPvMove;
  u32 from = MoveFrom(move), to = MoveTo(move), side = SideToMove(board);
  u8 mover = board->squares[from];
  u8 victim = CapturedPieceOf(board, move);
  if (victim != Empty) return CaptureOrderTable[TypeOf(mover)][TypeOf(victim)];
  if (move == killers[0]) return RootOrderKiller0;
  if (move == killers[1]) return RootOrderKiller1;
  i32 s = 0;
  if (TypeOf(mover) != TypeOf(WhitePawn) && PoorlyDefendedTarget(board, to, side))
    s = -SixteenthOf(mover);
  if (IsHanging(board, from, side)) s += SixteenthOf(mover);
  return s;
}

void AddHistory(u8 movingPiece, u32 to, i32 depth64) {
  u32& entry = HistoryTable[movingPiece][to];
  if (depth64 >= 0) {
    u32 plies = static_cast<u32>(depth64 >> 6) + 1;
    u64 grown = u64{entry} + u64{plies} * plies;
    // A long analysis must not wrap an entry back to the bottom of the order.
    entry = grown > UINT32_MAX ? UINT32_MAX : static_cast<u32>(grown);
  }
  if (entry > HistoryMax) HistoryMax = entry;
}

void UpdateKillerPair(u32 pair[2], u32 move) {
  if (move == pair[0]) return;
  if (move == pair[1]) {
    pair[1] = pair[0];
    pair[0] = move;
    return;
  }
  pair[1] = move;
}

namespace {

// The table moves and the previous line's move; 0 for every other move.
inline i32 TableMoveScore(const SearchFrame* frame, u32 move, bool onPvPath) {
  if (onPvPath && move == frame->pvMove) return OrderPvMove;
  if (move == frame->ttMoves[0]) return OrderTTMove0;
  if (move == frame->ttMoves[1]) return OrderTTMove1;
  return 0;
}

inline bool ParentOnPvPath(const SearchFrame* frame) {
  return frame->parent && frame->parent->onPvPath;
}

inline void CountOrderScore(SearchFrame* frame, i32 score) {
  if (score != 0) {
    ++frame->stats.orderedMoves;
  } else {
    ++frame->stats.unorderedMoves;
  }
}

}  // namespace

void ScoreMovesPhase1(SearchFrame* frame) {
  MoveList* list = &frame->moves;
  bool onPvPath = ParentOnPvPath(frame);
  for (i32 i = 0; i < list->count; ++i) list->scores[i] = TableMoveScore(frame, list->moves[i], onPvPath);
}

void ScoreMovesPhase2(SearchFrame* frame) {
  const Board* board = frame->board;
  MoveList* list = &frame->moves;
  bool onPvPath = ParentOnPvPath(frame);
  const u32* grandparentKillers =
      frame->ply > 1 && frame->parent && frame->parent->parent ? frame->parent->parent->killers
                                                                 : nullptr;
  const u32 historyShift = HistoryShift();
  for (i32 i = 0; i < list->count; ++i) {
    u32 move = list->moves[i];
    i32 score = TableMoveScore(frame, move, onPvPath);
    if (score == 0) {
      score = CapturedPieceOf(board, move) != Empty
                  ? CaptureOrderScore(board, move, frame->captureKillers)
                  : QuietOrderScoreShifted(board, move, frame->killers, grandparentKillers,
                                           historyShift);
    }
    list->scores[i] = score;
    CountOrderScore(frame, score);
  }
}

void PickOrderedMove(SearchFrame* frame, bool* phaseTwoDone) {
  MoveList* list = &frame->moves;
  PickNextMove(list);
  if (list->pickedScore != 0 || *phaseTwoDone) return;
  *phaseTwoDone = true;
  ScoreMovesPhase2(frame);
  --list->next;
  PickNextMove(list);
}

void ScoreMoves(SearchFrame* frame) {
  MoveList* list = &frame->moves;
  for (i32 i = 0; i < list->count; ++i) {
    i32 score = RootOrderScore(frame->board, list->moves[i], frame->pvMove, frame->killers);
    list->scores[i] = score;
    CountOrderScore(frame, score);
  }
}

void UpdateOrderingAfterCutoff(SearchFrame* frame, u32 move, u8 movingPiece, u8 capturedPiece,
                               i32 depth64) {
  if (capturedPiece != Empty) {
    UpdateKillerPair(frame->captureKillers, move);
    return;
  }
  AddHistory(movingPiece, MoveTo(move), depth64);
  UpdateKillerPair(frame->killers, move);
}
