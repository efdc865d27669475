// Packing positions into 32-byte records and back.
#include "common/training_record.h"

#include <bit>
#include <cstring>

#include "board/board.h"
#include "board/fen.h"

namespace {

// Corner squares of the castling rooks, in castleRights order, and the kings' home squares.
constexpr u8 CastleRookSquare[4] = {0, 7, 56, 63};  // a1, a8, h1, h8
constexpr u8 CastleRookColour[4] = {White, Black, White, Black};
constexpr u8 KingHome[2] = {32, 39};  // e1, e8

u64 ReadU64(const u8* p) {
  u64 value = 0;
  for (int i = 7; i >= 0; --i) value = (value << 8) | p[i];
  return value;
}

void WriteU64(u8* p, u64 value) {
  for (int i = 0; i < 8; ++i) p[i] = static_cast<u8>(value >> (8 * i));
}

u8 Nibble(const TrainingRecord& record, int index) {
  u8 byte = record.bytes[8 + index / 2];
  return (index & 1) ? byte >> 4 : byte & 15;
}

}  // namespace

bool EncodeTrainingRecord(const TrainingPosition& position, TrainingRecord* record) {
  if (position.result > WhiteWin || position.epSquare > NoSquare || position.sideToMove > Black)
    return false;
  u8 codes[64];
  std::memcpy(codes, position.squares, 64);
  for (int right = 0; right < 4; ++right) {
    if (!position.castleRights[right]) continue;
    u8 colour = CastleRookColour[right];
    u8 rookSquare = CastleRookSquare[right];
    if (position.squares[KingHome[colour]] != (WhiteKing | colour) ||
        position.squares[rookSquare] != (WhiteRook | colour))
      return false;
    codes[rookSquare] = colour == White ? CastlingRookWhite : CastlingRookBlack;
  }

  TrainingRecord out{};
  u64 occupancy = 0;
  int count = 0;
  for (int square = 0; square < 64; ++square) {
    u8 piece = position.squares[square];
    if (piece > Empty) return false;
    if (piece == Empty) continue;
    if (count == 32) return false;
    occupancy |= u64{1} << square;
    out.bytes[8 + count / 2] |= static_cast<u8>(codes[square] << (4 * (count & 1)));
    ++count;
  }
  WriteU64(out.bytes, occupancy);
  out.bytes[24] = static_cast<u8>((position.sideToMove << 7) | position.epSquare);
  out.bytes[25] = static_cast<u8>(position.halfMoveClock > 255 ? 255 : position.halfMoveClock);
  out.bytes[26] = static_cast<u8>(position.fullMove);
  out.bytes[27] = static_cast<u8>(position.fullMove >> 8);
  u16 score = static_cast<u16>(position.score);
  out.bytes[28] = static_cast<u8>(score);
  out.bytes[29] = static_cast<u8>(score >> 8);
  out.bytes[30] = position.result;
  out.bytes[31] = position.spare;
  *record = out;
  return true;
}

bool DecodeTrainingRecord(const TrainingRecord& record, TrainingPosition* position) {
  TrainingPosition out{};
  std::memset(out.squares, Empty, 64);
  u64 occupancy = ReadU64(record.bytes);
  if (std::popcount(occupancy) > 32) return false;
  int index = 0;
  for (u64 bits = occupancy; bits; bits &= bits - 1, ++index) {
    int square = std::countr_zero(bits);
    u8 code = Nibble(record, index);
    if (code == CastlingRookWhite || code == CastlingRookBlack) {
      u8 colour = code == CastlingRookWhite ? White : Black;
      int right = -1;
      for (int r = 0; r < 4; ++r)
        if (CastleRookSquare[r] == square && CastleRookColour[r] == colour) right = r;
      if (right < 0) return false;
      out.castleRights[right] = 1;
      code = static_cast<u8>(WhiteRook | colour);
    } else if (code >= Empty) {
      return false;
    }
    out.squares[square] = code;
  }
  // The right also needs the king at home; the encoder never writes it otherwise.
  for (int right = 0; right < 4; ++right)
    if (out.castleRights[right] &&
        out.squares[KingHome[CastleRookColour[right]]] != (WhiteKing | CastleRookColour[right]))
      return false;
  out.sideToMove = record.bytes[24] >> 7;
  out.epSquare = record.bytes[24] & 127;
  if (out.epSquare > NoSquare) return false;
  out.halfMoveClock = record.bytes[25];
  out.fullMove = static_cast<u16>(record.bytes[26] | (record.bytes[27] << 8));
  out.score = RecordScore(record);
  out.result = record.bytes[30];
  if (out.result > WhiteWin) return false;
  out.spare = record.bytes[31];
  *position = out;
  return true;
}

int RecordPieces(const TrainingRecord& record, u8 squares[32], u8 pieces[32]) {
  u64 occupancy = ReadU64(record.bytes);
  int count = 0;
  for (u64 bits = occupancy; bits && count < 32; bits &= bits - 1, ++count) {
    u8 code = Nibble(record, count);
    if (code == CastlingRookWhite) code = WhiteRook;
    if (code == CastlingRookBlack) code = BlackRook;
    squares[count] = static_cast<u8>(std::countr_zero(bits));
    // Codes no encoder writes read as empty; the loader has refused such files already.
    pieces[count] = code;
  }
  return count;
}

u32 RecordSideToMove(const TrainingRecord& record) { return record.bytes[24] >> 7; }

i16 RecordScore(const TrainingRecord& record) {
  return static_cast<i16>(static_cast<u16>(record.bytes[28] | (record.bytes[29] << 8)));
}

u8 RecordResult(const TrainingRecord& record) { return record.bytes[30]; }

std::string TrainingPositionFen(const TrainingPosition& position) {
  std::string fen;
  for (int rank = 7; rank >= 0; --rank) {
    int gap = 0;
    for (int file = 0; file < 8; ++file) {
      u8 piece = position.squares[MakeSquare(file, rank)];
      if (piece >= Empty) {
        ++gap;
        continue;
      }
      if (gap) fen += static_cast<char>('0' + gap);
      gap = 0;
      fen += PieceLetters[piece];
    }
    if (gap) fen += static_cast<char>('0' + gap);
    if (rank) fen += '/';
  }
  fen += position.sideToMove == White ? " w " : " b ";
  std::string castling;
  if (position.castleRights[2]) castling += 'K';
  if (position.castleRights[0]) castling += 'Q';
  if (position.castleRights[3]) castling += 'k';
  if (position.castleRights[1]) castling += 'q';
  fen += castling.empty() ? "-" : castling;
  fen += ' ';
  if (position.epSquare < NoSquare) {
    fen += static_cast<char>('a' + FileOf(position.epSquare));
    fen += static_cast<char>('1' + RankOf(position.epSquare));
  } else {
    fen += '-';
  }
  fen += ' ' + std::to_string(position.halfMoveClock) + ' ' +
         std::to_string(position.fullMove ? position.fullMove : 1);
  return fen;
}

TrainingPosition ColourFlipped(const TrainingPosition& position) {
  TrainingPosition out = position;
  for (int square = 0; square < 64; ++square) {
    u8 piece = position.squares[square ^ 7];
    out.squares[square] = piece == Empty ? u8{Empty} : static_cast<u8>(piece ^ 1);
  }
  out.sideToMove = position.sideToMove ^ 1;
  out.epSquare = position.epSquare == NoSquare ? NoSquare : static_cast<u8>(position.epSquare ^ 7);
  // [0]/[1] and [2]/[3] are the same wing for the two colours.
  out.castleRights[0] = position.castleRights[1];
  out.castleRights[1] = position.castleRights[0];
  out.castleRights[2] = position.castleRights[3];
  out.castleRights[3] = position.castleRights[2];
  out.score = static_cast<i16>(position.score == -32768 ? 32767 : -position.score);
  out.result = static_cast<u8>(WhiteWin - position.result);
  return out;
}

TrainingPosition TrainingPositionFromBoard(const Board* board) {
  TrainingPosition out{};
  std::memcpy(out.squares, board->squares, 64);
  out.sideToMove = static_cast<u8>(SideToMove(board));
  out.epSquare = static_cast<u8>(board->epSquare > NoSquare ? NoSquare : board->epSquare);
  for (int right = 0; right < 4; ++right) out.castleRights[right] = board->castleRights[right] ? 1 : 0;
  out.halfMoveClock = board->halfMoveClock;
  u32 fullMove = (board->gamePly >> 1) + 1;
  out.fullMove = static_cast<u16>(fullMove > 65535 ? 65535 : fullMove);
  return out;
}

bool TrainingPositionToBoard(const TrainingPosition& position, Board* board) {
  return SetFen(board, TrainingPositionFen(position).c_str());
}
