// The square maps, king-pair numberings, per-kind square enumerations and per-king-pair offsets
// from which the tablebase index functions compute a position's place in a table file.
#pragma once

#include <array>

#include "board/types.h"

// Tables number squares rank-major (t = 8 * rank + file), unlike the board.
constexpr u32 TbNoSquare = 64;
constexpr u32 TbFile(u32 t) { return t & 7; }
constexpr u32 TbRank(u32 t) { return t >> 3; }

constexpr i16 TbNoKingPair = 4000;
constexpr int TbPawnKingPairCount = 1806;
constexpr int TbPawnlessKingPairCount = 462;

// Kinds of men in the enumeration and offset tables (not piece codes, not piece types).
enum TbKind : u8 {
  TbKindFreePawn = 0,  // a pawn numbered without excluding checking squares
  TbKindPawn = 1,      // a pawn of the side to move
  TbKindKnight = 2,
  TbKindBishop = 3,
  TbKindRook = 4,
  TbKindQueen = 5,
};
constexpr int TbKindCount = 6;

template <int N, typename F>
constexpr std::array<u32, N> TbMakeSquareTable(F rule) {
  std::array<u32, N> table{};
  for (int t = 0; t < N; ++t) table[t] = rule(static_cast<u32>(t));
  return table;
}

// Board square (file-major) to table square; entry 64 keeps "no square".
inline constexpr std::array<u32, 65> TbSquareMap = TbMakeSquareTable<65>(
    [](u32 s) { return s == 64 ? 64u : 8 * (s % 8) + s / 8; });
// Indexed by the invert flag: XOR with 56 mirrors the board top to bottom.
inline constexpr std::array<u32, 2> TbFlipMask = {0, 56};
// XOR brings a square onto files a-d.
inline constexpr std::array<u32, 64> TbPawnMirror =
    TbMakeSquareTable<64>([](u32 t) { return TbFile(t) <= 3 ? 0u : 7u; });
// XOR brings a square into a1-d4.
inline constexpr std::array<u32, 64> TbPawnlessMirror = TbMakeSquareTable<64>(
    [](u32 t) { return (TbFile(t) <= 3 ? 0u : 7u) ^ (TbRank(t) <= 3 ? 0u : 56u); });
inline constexpr std::array<u32, 64> TbOffDiagonal =
    TbMakeSquareTable<64>([](u32 t) { return TbFile(t) != TbRank(t) ? 1u : 0u; });
inline constexpr std::array<u32, 64> TbBelowDiagonal =
    TbMakeSquareTable<64>([](u32 t) { return TbFile(t) >= TbRank(t) ? 1u : 0u; });
// a1, b1, c1, d1, b2, c2, d2, c3, d3, d4.
inline constexpr std::array<u32, 64> TbInTriangle = TbMakeSquareTable<64>(
    [](u32 t) { return TbFile(t) <= 3 && TbRank(t) <= TbFile(t) ? 1u : 0u; });
// Reflection in the a1-h8 diagonal.
inline constexpr std::array<u32, 64> TbDiagonalReflect =
    TbMakeSquareTable<64>([](u32 t) { return 8 * TbFile(t) + TbRank(t); });

// Indexed by first king * 64 + second king (table squares); TbNoKingPair where unnumbered.
extern i16 TbKingPairsPawn[64 * 64];
extern i16 TbKingPairsPawnless[64 * 64];
// [kind][reference king * 64 + square]: the square's number among the allowed ones, 255 if not.
extern u8 TbEnumTable[TbKindCount][64 * 64];
extern u8 TbEnumCount[TbKindCount][64];

// Per king pair the first index of its block. One-man tables: [kind]; two-man tables: [i][j]
// with i >= j the kinds of the stronger and the weaker man. Only the combinations that tables
// use are filled: pawn one-man kinds 0-5, pawnless 2-5; pawn pairs (0,0), (1,1) and (i, j) for
// 2 <= i <= 5, 1 <= j <= i; pawnless pairs 2 <= j <= i <= 5.
extern u64 TbOffsets1Pawn[TbKindCount][TbPawnKingPairCount];
extern u64 TbOffsets1Pawnless[TbKindCount][TbPawnlessKingPairCount];
extern u64 TbOffsets2Pawn[TbKindCount][TbKindCount][TbPawnKingPairCount];
extern u64 TbOffsets2Pawnless[TbKindCount][TbKindCount][TbPawnlessKingPairCount];
// The sum of all blocks of each offset table: the index range of the tables built on it.
extern u64 TbOffsets1PawnTotal[TbKindCount];
extern u64 TbOffsets1PawnlessTotal[TbKindCount];
extern u64 TbOffsets2PawnTotal[TbKindCount][TbKindCount];
extern u64 TbOffsets2PawnlessTotal[TbKindCount][TbKindCount];

// Fills the king-pair, enumeration and offset tables; only the first call does work.
// The tables are static arrays, so nothing can fail.
void BuildTbIndexTables();

// The number of places of a man of the kind in the block of the king pair (first, second):
// the second king's allowed squares less the first king's square when it is among them.
inline u32 TbPlacesInBlock(int kind, u32 firstKing, u32 secondKing) {
  return TbEnumCount[kind][secondKing] - (TbEnumTable[kind][secondKing * 64 + firstKing] != 255);
}
