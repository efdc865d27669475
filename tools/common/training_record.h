// The 32-byte record of one training position, written by the data generator and read by the
// trainer: the position, the search score from White's view and the game's result.
#pragma once

#include <string>

#include "board/types.h"

struct Board;

// Game results as stored, from White's view.
enum GameResult : u8 { BlackWin = 0, Draw = 1, WhiteWin = 2 };

// A position in plain form, the engine's conventions: file-major squares, piece codes 0..11 and
// 12 for empty, castling rights in the Board's order ([0] white O-O-O, [1] black O-O-O,
// [2] white O-O, [3] black O-O).
struct TrainingPosition {
  u8 squares[64];
  u8 sideToMove;   // White 0, Black 1
  u8 epSquare;     // 64 when none
  u8 castleRights[4];
  u16 halfMoveClock;
  u16 fullMove;
  i16 score;   // centipawns from White's view
  u8 result;   // GameResult
  u8 spare;    // free for the generator (ply, flags)
};

// Layout, little-endian:
//   0..7   u64 occupancy, bit s = file-major square s
//   8..23  one 4-bit code per occupied square in rising square order, the first in the low
//          nibble of byte 8; piece codes 0..11, 12 a white and 13 a black rook that still holds
//          its castling right (so castling needs no bits of its own)
//   24     side to move in bit 7, en-passant square in bits 0..6 (64 none)
//   25     half-move clock (255 at most)
//   26..27 u16 fullmove number
//   28..29 i16 score, White's view
//   30     u8 result (0 black win, 1 draw, 2 white win)
//   31     u8 spare
struct TrainingRecord {
  u8 bytes[32];
};
static_assert(sizeof(TrainingRecord) == 32);

constexpr u8 CastlingRookWhite = 12;
constexpr u8 CastlingRookBlack = 13;

// False when the position cannot be stored: more than 32 pieces, a code above 12, a castling
// right without its king and rook at home, a result above 2 or an en-passant square above 64.
// The half-move clock is stored as min(clock, 255).
bool EncodeTrainingRecord(const TrainingPosition& position, TrainingRecord* record);
// False on bytes no encoder writes (unknown codes, a castling rook away from its corner,
// occupancy of more than 32 squares, result above 2); *position is then unspecified.
bool DecodeTrainingRecord(const TrainingRecord& record, TrainingPosition* position);

// The piece codes of a record in occupancy order, castling rooks as plain rooks, without a full
// decode; returns the number of pieces. The trainer's fast path.
int RecordPieces(const TrainingRecord& record, u8 squares[32], u8 pieces[32]);
u32 RecordSideToMove(const TrainingRecord& record);
i16 RecordScore(const TrainingRecord& record);
u8 RecordResult(const TrainingRecord& record);

// The position as FEN text (for messages and tests).
std::string TrainingPositionFen(const TrainingPosition& position);
// The same position with the colours exchanged and the board mirrored rank for rank: the side
// to move, castling rights, en passant, score and result all change sides.
TrainingPosition ColourFlipped(const TrainingPosition& position);

// Board conversions for the data generator and the tests; score, result and spare are set to
// zero by FromBoard. ToBoard goes through FEN and returns SetFen's verdict.
TrainingPosition TrainingPositionFromBoard(const Board* board);
bool TrainingPositionToBoard(const TrainingPosition& position, Board* board);
