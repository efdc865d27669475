// Basic vocabulary shared by every part of the engine: fixed-width integers, squares,
// piece codes and the move word.
#pragma once

#include <cstdint>

using u8 = std::uint8_t;
using u16 = std::uint16_t;
using u32 = std::uint32_t;
using u64 = std::uint64_t;
using i8 = std::int8_t;
using i16 = std::int16_t;
using i32 = std::int32_t;
using i64 = std::int64_t;

// Squares are file-major: square = file * 8 + rank, a1 = 0, a2 = 1, ..., h8 = 63.
constexpr u32 NoSquare = 64;
constexpr u32 RankOf(u32 square) { return square & 7; }
constexpr u32 FileOf(u32 square) { return square >> 3; }
constexpr u32 MakeSquare(u32 file, u32 rank) { return file * 8 + rank; }

// Piece code = 2 * type + colour (white 0, black 1); 12 is an empty square.
enum PieceCode : u8 {
  WhitePawn = 0, BlackPawn, WhiteKnight, BlackKnight, WhiteBishop, BlackBishop,
  WhiteRook, BlackRook, WhiteQueen, BlackQueen, WhiteKing, BlackKing, Empty
};
constexpr u32 White = 0;
constexpr u32 Black = 1;
constexpr u32 ColourOf(u32 piece) { return piece & 1; }
constexpr u32 TypeOf(u32 piece) { return piece >> 1; }

inline constexpr char PieceLetters[] = "PpNnBbRrQqKk.";
inline constexpr i32 PieceValue[13] = {100, 100, 305, 305, 325, 325, 500, 500, 1000, 1000, 0, 0, 0};

// Move word: bits 0-5 from, 6-11 to, 12-15 promotion piece (white code; 12 = none).
constexpr u32 NoMove = 0xc1c7;     // the null move (a8a8)
constexpr u32 EmptyMove = 0;       // no move at all
constexpr u32 NoPromotion = 12;
constexpr u32 MoveFrom(u32 move) { return move & 63; }
constexpr u32 MoveTo(u32 move) { return (move >> 6) & 63; }
constexpr u32 MovePromotion(u32 move) { return (move >> 12) & 15; }
constexpr u32 MakeMoveWord(u32 from, u32 to, u32 promotion = NoPromotion) {
  return from | (to << 6) | (promotion << 12);
}
