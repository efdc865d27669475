// Static exchange evaluation on the attack words of the target square, loose pieces and the
// king-zone count.
#include "eval/see.h"

#include <bit>

namespace {

constexpr u32 DirectionOf(u32 relation) { return (relation >> 2) & 7; }
constexpr u32 DistanceOf(u32 relation) { return relation >> 5; }

inline void SetSliderField(AttackWord* word, u32 direction, u32 distance) {
  *word = (*word & ~(7u << (3 * direction))) | (distance << (3 * direction));
}

// A piece `distance` steps from the target in `direction` has left the exchange: the nearest
// slider of either colour behind it along the ray now reaches the target.
inline void RevealBehind(const AttackMap* map, AttackWord working[2], u32 square, u32 direction,
                         u32 distance) {
  for (u32 c = 0; c < 2; ++c) {
    u32 behind = SliderField(map->words[square][c], direction);
    if (behind) SetSliderField(&working[c], direction, behind + distance);
  }
}

// Directions from a target square to the pawn of each colour that attacks it by each bit.
constexpr u32 PawnDirectionHigherBit[2] = {5, 7};  // pawn one file lower: south-west, north-west
constexpr u32 PawnDirectionLowerBit[2] = {3, 1};   // pawn one file higher: south-east, north-east

// Takes the least valuable attacker of `colour` out of its working word and returns its code;
// Empty when the colour cannot capture (a lone king facing attackers may not).
u8 TakeLeastValuable(const AttackMap* map, AttackWord working[2], u32 to, u32 colour) {
  AttackWord word = working[colour];
  if (word & (PawnAttackHigherBit | PawnAttackLowerBit)) {
    bool higher = (word & PawnAttackHigherBit) != 0;
    working[colour] &= higher ? ~PawnAttackHigherBit : ~PawnAttackLowerBit;
    u32 d = higher ? PawnDirectionHigherBit[colour] : PawnDirectionLowerBit[colour];
    RevealBehind(map, working, RaySquare[to][d * 8 + 1], d, 1);
    return static_cast<u8>(WhitePawn | colour);
  }
  if (word >> KnightCountShift) {
    working[colour] -= KnightAttackUnit;
    return static_cast<u8>(WhiteKnight | colour);
  }
  if (word & SliderFieldsMask) {
    u32 best = 0, bestDistance = 0, bestSquare = 0;
    u8 bestPiece = Empty;
    for (u32 d = 0; d < 8; ++d) {
      u32 distance = SliderField(word, d);
      if (!distance) continue;
      u32 square = RaySquare[to][d * 8 + distance];
      u8 piece = map->board->squares[square];
      if (piece < bestPiece) bestPiece = piece, best = d, bestDistance = distance, bestSquare = square;
    }
    SetSliderField(&working[colour], best, 0);
    RevealBehind(map, working, bestSquare, best, bestDistance);
    return bestPiece;
  }
  if ((word & KingAttackBit) && working[colour ^ 1] == 0) {
    working[colour] &= ~KingAttackBit;
    return static_cast<u8>(WhiteKing | colour);
  }
  return Empty;
}

}  // namespace

i32 SeeRecurse(i32 balance, u8 capturedPiece, u32 entriesLeft, u64 list) {
  if (entriesLeft == 0) return balance;
  i32 afterCapture = balance + PieceValue[capturedPiece];
  i32 reply = SeeRecurse(-afterCapture, static_cast<u8>(list & 15), entriesLeft - 1, list >> 4);
  return balance > -reply ? balance : -reply;
}

i32 StaticExchangeEval(const AttackMap* map, u32 move) {
  const Board* board = map->board;
  u32 from = MoveFrom(move), to = MoveTo(move);
  u8 mover = board->squares[from];
  i32 victimValue = PieceValue[board->squares[to]];
  u32 side = SideToMove(board), opponent = side ^ 1;
  AttackWord working[2] = {map->words[to][0], map->words[to][1]};

  switch (TypeOf(mover)) {
    case TypeOf(WhiteBishop):
    case TypeOf(WhiteRook):
    case TypeOf(WhiteQueen): {
      u32 relation = SquareRelation[to][from];
      u32 d = DirectionOf(relation);
      SetSliderField(&working[side], d, 0);
      RevealBehind(map, working, from, d, DistanceOf(relation));
      break;
    }
    case TypeOf(WhiteKing):
      working[side] &= ~KingAttackBit;
      break;
    case TypeOf(WhitePawn):
      if (FileOf(to) != FileOf(from)) {
        working[side] &= FileOf(to) > FileOf(from) ? ~PawnAttackHigherBit : ~PawnAttackLowerBit;
        RevealBehind(map, working, from, DirectionOf(SquareRelation[to][from]), 1);
      }
      break;
    case TypeOf(WhiteKnight):
      working[side] -= KnightAttackUnit;
      break;
    default:
      break;
  }
  if (working[opponent] == 0) return victimValue;

  u64 list = 0;
  u32 count = 0;
  for (u32 colour = opponent; count < SeeListCapacity && working[colour]; colour ^= 1) {
    u8 piece = TakeLeastValuable(map, working, to, colour);
    if (piece == Empty) break;
    list |= u64{piece} << (4 * count++);
  }
  return victimValue - SeeRecurse(0, mover, count, list);
}

i32 KingZoneAttacks(const Board* board, int colour) {
  u32 king = KingSquare(board, static_cast<u32>(colour));
  u32 opponent = static_cast<u32>(colour) ^ 1;
  u32 file = FileOf(king), rank = RankOf(king);
  u32 fileLow = file > 0 ? file - 1 : 0, fileHigh = file < 7 ? file + 1 : 7;
  u32 rankLow = rank > 0 ? rank - 1 : 0, rankHigh = rank < 7 ? rank + 1 : 7;
  i32 count = static_cast<i32>(AttackerCount(board->attacks.words[king][opponent]));
  for (u32 f = fileLow; f <= fileHigh; ++f)
    for (u32 r = rankLow; r <= rankHigh; ++r)
      count += static_cast<i32>(AttackerCount(board->attacks.words[MakeSquare(f, r)][opponent]));
  return count;
}

u64 HangingPieces(const Board* board, u32 colour) {
  return board->occupied[colour] & board->attacks.attacked[colour ^ 1] &
         ~board->attacks.attacked[colour];
}

i32 HangingValue(const Board* board, u32 colour) {
  i32 sum = 0;
  for (u64 hanging = HangingPieces(board, colour); hanging; hanging &= hanging - 1)
    sum += PieceValue[board->squares[std::countr_zero(hanging)]];
  return sum;
}
