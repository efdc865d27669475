// The position record read by every part of the engine, kept in several redundant forms
// (squares, bitboards, piece lists, attack map, material, keys) and copied whole to save it.
#pragma once

#include <type_traits>

#include "board/types.h"

struct Board;

// Per square and attacking colour: eight 3-bit slider distances (field i = direction from the
// square to the slider), bit 24 king, bit 25/26 pawn captures toward the lower/higher file,
// bits 27-31 knight count.
using AttackWord = u32;

struct AttackMap {
  Board* board;             // the record this map belongs to
  AttackWord words[64][2];  // [square][attacking colour]
  u64 attacked[2];          // bit s set when words[s][colour] != 0
};

// Room for ten: a promotion can bring a ninth piece of one code.
constexpr int PieceListCapacity = 10;

struct PieceList {
  u8 squares[PieceListCapacity];
  u8 count;
};

struct Board {
  u64 key;
  u64 pawnKingKey;
  i16 material[2];
  u8 castleRights[4];  // [0] white O-O-O, [1] black O-O-O, [2] white O-O, [3] black O-O
  u8 squares[64];
  u64 occupied[2];
  u64 pawnBits[2];
  PieceList pieceLists[12];
  u32 pieceCount[2];
  AttackMap attacks;
  u32 epSquare;
  u32 gamePly;  // bit 0 is the side to move
  u16 halfMoveClock;
  u8 phase;

  // Prepares a fresh record (empty piece lists, attack map pointing here) and makes sure the
  // process-wide tables exist; SetFen loads a position into it.
  Board();
};

// Positions are saved and restored by copying the whole record.
static_assert(std::is_trivially_copyable_v<Board>);

enum GamePhase : u8 { Opening = 0, Middlegame = 1, EarlyEndgame = 2, Endgame = 3 };

extern const u64 SquareBit[64];
extern const u8 PhaseTable[17];

inline u32 SideToMove(const Board* board) { return board->gamePly & 1; }
inline u32 KingSquare(const Board* board, u32 colour) {
  return board->pieceLists[WhiteKing | colour].squares[0];
}
// Sets the phase byte from the number of pieces other than pawns, kings included.
void UpdatePhase(Board* board);

// Builds every process-wide board table once (Zobrist keys, square tables, ray lists); safe to
// call from any thread and any number of times. Board::Board calls it.
void InitBoardTables();
