// The incremental attack map: per square and colour which pieces attack it, slider fields
// holding the distance so rays can be cut and extended without a slider search.
#pragma once

#include <bit>

#include "board/board.h"

constexpr i32 DirectionOffset[8] = {1, 9, 8, 7, -1, -9, -8, -7};
constexpr i32 KingStepRank[8] = {1, 1, 0, -1, -1, -1, 0, 1};
constexpr i32 KingStepFile[8] = {0, 1, 1, 1, 0, -1, -1, -1};

constexpr AttackWord SliderFieldsMask = 0x00ffffff;
constexpr AttackWord KingAttackBit = 1u << 24;
constexpr AttackWord PawnAttackLowerBit = 1u << 25;   // pawn one file higher captures here
constexpr AttackWord PawnAttackHigherBit = 1u << 26;  // pawn one file lower captures here
constexpr AttackWord KnightAttackUnit = 1u << 27;
constexpr int KnightCountShift = 27;

constexpr u32 SliderField(AttackWord word, u32 direction) { return (word >> (3 * direction)) & 7; }

// RaySquare[s][d * 8 + n]: the square n steps from s in direction d (unchecked, off-board
// entries meaningless). SquareRelation[a][b]: 0 none, 2 knight jump, 1 | d << 2 | n << 5 line.
extern u8 RaySquare[64][64];
extern u8 SquareRelation[64][64];

// Fills RaySquare and SquareRelation (first call only).
void BuildSquareTables();

// A piece is put on a square that the map treats as empty.
void PlacePieceAttacks(AttackMap* map, u8 piece, u32 square);
// A piece leaves a square whose board entry is already empty.
void RemovePieceAttacks(AttackMap* map, u8 piece, u32 square);

// Rebuilds the whole map of the board from its squares (loading a position, checks).
void BuildAttackMap(Board* board);

// Number of attackers recorded in one word: slider fields, king, pawns and knights.
inline u32 AttackerCount(AttackWord word) {
  // Bit 3d stands for slider field d when the field is not 0; bits 24-26 are one attacker each.
  const AttackWord sliders = word & SliderFieldsMask;
  const AttackWord fields = (sliders | (sliders >> 1) | (sliders >> 2)) & 0x00249249;
  const AttackWord single = word & (KingAttackBit | PawnAttackLowerBit | PawnAttackHigherBit);
  return (word >> KnightCountShift) + static_cast<u32>(std::popcount(fields | single));
}

// Whether the given colour's king is attacked.
inline bool IsKingAttacked(const Board* board, u32 colour) {
  return board->attacks.words[KingSquare(board, colour)][colour ^ 1] != 0;
}
// Whether the side to move is in check.
inline bool InCheck(const Board* board) { return IsKingAttacked(board, SideToMove(board)); }
