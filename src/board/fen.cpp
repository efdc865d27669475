// FEN reading and writing. A position is parsed into a scratch record and only copied into the
// caller's board when it is one the move routines can work on.
#include "board/fen.h"

#include <algorithm>

#include "board/attack_map.h"
#include "board/zobrist.h"

namespace {

constexpr u32 HalfMoveClockLimit = 9999;

bool IsSeparator(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == ';'; }

// Leading decimal digits, saturating at `limit`; 0 when there are none.
u32 ReadNumber(const std::string& field, u32 limit) {
  u64 value = 0;
  for (char c : field) {
    if (c < '0' || c > '9') break;
    value = value * 10 + static_cast<u32>(c - '0');
    if (value > limit) return limit;
  }
  return static_cast<u32>(value);
}

void PutPiece(Board* board, u8 piece, u32 square) {
  u32 colour = ColourOf(piece);
  board->squares[square] = piece;
  board->occupied[colour] |= SquareBit[square];
  board->material[colour] = static_cast<i16>(board->material[colour] + PieceValue[piece]);
  board->pieceCount[colour] += 1;
  if (TypeOf(piece) == TypeOf(WhitePawn)) board->pawnBits[colour] |= SquareBit[square];
  PieceList* list = &board->pieceLists[piece];
  list->squares[list->count++] = static_cast<u8>(square);
}

// Rank 8 first; false on a bad character, a rank of other than eight files, other than eight
// ranks, a pawn on the first or last rank, or more pieces of one code than a list can hold.
bool ReadPlacement(Board* board, const std::string& placement) {
  u32 rank = 7, file = 0;
  for (char c : placement) {
    if (c == '/') {
      if (file != 8 || rank == 0) return false;
      --rank;
      file = 0;
    } else if (c >= '0' && c <= '9') {
      file += static_cast<u32>(c - '0');
      if (file > 8) return false;
    } else {
      u8 piece = FenPieceCode(c);
      if (piece == Empty || file >= 8) return false;
      if (TypeOf(piece) == TypeOf(WhitePawn) && (rank == 0 || rank == 7)) return false;
      if (board->pieceLists[piece].count >= PieceListCapacity) return false;
      PutPiece(board, piece, MakeSquare(file, rank));
      ++file;
    }
  }
  return rank == 0 && file == 8;
}

// One king per side, and no more men of a kind than promotions of missing pawns explain.
bool MaterialPossible(const Board* board) {
  for (u32 c = 0; c < 2; ++c) {
    auto count = [&](u8 white) { return static_cast<i32>(board->pieceLists[white | c].count); };
    if (count(WhiteKing) != 1 || count(WhitePawn) > 8) return false;
    i32 promoted = std::max(0, count(WhiteKnight) - 2) + std::max(0, count(WhiteBishop) - 2) +
                   std::max(0, count(WhiteRook) - 2) + std::max(0, count(WhiteQueen) - 1);
    if (promoted > 8 - count(WhitePawn)) return false;
  }
  return true;
}

// A right stands only while its king and rook are on their home squares.
void DropImpossibleRights(Board* board) {
  static constexpr u8 kingHome[4] = {32, 39, 32, 39};
  static constexpr u8 rookHome[4] = {0, 7, 56, 63};
  for (u32 right = 0; right < 4; ++right) {
    u32 colour = right & 1;
    if (board->squares[kingHome[right]] != (WhiteKing | colour) ||
        board->squares[rookHome[right]] != (WhiteRook | colour))
      board->castleRights[right] = 0;
  }
}

// The en-passant square stands only where an opponent pawn can just have stepped over it.
u32 PossibleEnPassant(const Board* board, u32 ep) {
  if (ep == NoSquare) return NoSquare;
  const u8* squares = board->squares;
  if (SideToMove(board) == White) {
    if (RankOf(ep) != 5 || squares[ep] != Empty || squares[ep + 1] != Empty || squares[ep - 1] != BlackPawn)
      return NoSquare;
  } else {
    if (RankOf(ep) != 2 || squares[ep] != Empty || squares[ep - 1] != Empty || squares[ep + 1] != WhitePawn)
      return NoSquare;
  }
  return ep;
}

}  // namespace

u8 FenPieceCode(char letter) {
  for (u8 code = 0; code < Empty; ++code)
    if (PieceLetters[code] == letter) return code;
  return Empty;
}

std::string ExtractFenFields(const char* text) {
  std::string result;
  int tokens = 0;
  const char* p = text;
  while (*p && tokens < 6) {
    while (*p && IsSeparator(*p)) ++p;
    if (!*p) break;
    if (tokens > 0) result += ' ';
    while (*p && !IsSeparator(*p)) result += *p++;
    ++tokens;
  }
  return result;
}

bool SetFen(Board* board, const char* fen) {
  std::string text = ExtractFenFields(fen);
  if (text.size() > 99) text.resize(99);
  std::string fields[6];
  int count = 0;
  for (size_t start = 0; start < text.size() && count < 6;) {
    size_t end = text.find(' ', start);
    if (end == std::string::npos) end = text.size();
    fields[count++] = text.substr(start, end - start);
    start = end + 1;
  }
  if (count < 4) return false;

  Board scratch;
  scratch.halfMoveClock = static_cast<u16>(ReadNumber(fields[4], HalfMoveClockLimit));
  u32 ep = NoSquare;
  if (fields[3].size() == 2 && fields[3][0] >= 'a' && fields[3][0] <= 'h' && fields[3][1] >= '1' &&
      fields[3][1] <= '8')
    ep = MakeSquare(static_cast<u32>(fields[3][0] - 'a'), static_cast<u32>(fields[3][1] - '1'));
  scratch.gamePly = (ReadNumber(fields[5], 0x7fffffff) - 1u) * 2u;
  if (fields[1] == "b") scratch.gamePly += 1;
  if (fields[2] != "-") {
    for (char c : fields[2]) {
      if (c == 'K') scratch.castleRights[2] = 1;
      else if (c == 'Q') scratch.castleRights[0] = 1;
      else if (c == 'k') scratch.castleRights[3] = 1;
      else if (c == 'q') scratch.castleRights[1] = 1;
    }
  }
  if (!ReadPlacement(&scratch, fields[0]) || !MaterialPossible(&scratch)) return false;
  DropImpossibleRights(&scratch);
  scratch.epSquare = PossibleEnPassant(&scratch, ep);
  if (scratch.pieceCount[0] + scratch.pieceCount[1] != 32 && scratch.gamePly <= 1) scratch.gamePly += 28;

  BuildAttackMap(&scratch);
  // The side that just moved cannot have left its king attacked.
  if (IsKingAttacked(&scratch, SideToMove(&scratch) ^ 1)) return false;
  scratch.key = ComputeKey(&scratch);
  scratch.pawnKingKey = ComputePawnKingKey(&scratch);
  UpdatePhase(&scratch);

  *board = scratch;
  board->attacks.board = board;
  return true;
}

std::string GetFen(const Board* board) {
  std::string fen;
  for (i32 rank = 7; rank >= 0; --rank) {
    int empty = 0;
    for (u32 file = 0; file < 8; ++file) {
      u8 piece = board->squares[MakeSquare(file, static_cast<u32>(rank))];
      if (piece == Empty) {
        ++empty;
        continue;
      }
      if (empty) fen += static_cast<char>('0' + empty);
      empty = 0;
      fen += PieceLetters[piece];
    }
    if (empty) fen += static_cast<char>('0' + empty);
    if (rank) fen += '/';
  }
  fen += SideToMove(board) == Black ? " b " : " w ";
  std::string rights;
  if (board->castleRights[2] & 1) rights += 'K';
  if (board->castleRights[0] & 1) rights += 'Q';
  if (board->castleRights[3] & 1) rights += 'k';
  if (board->castleRights[1] & 1) rights += 'q';
  fen += rights.empty() ? "-" : rights;
  fen += ' ';
  if (board->epSquare < NoSquare) {
    fen += static_cast<char>('a' + FileOf(board->epSquare));
    fen += static_cast<char>('1' + RankOf(board->epSquare));
  } else {
    fen += '-';
  }
  // The game ply of a FEN without move numbers wraps; its fullmove number is shown as 1.
  u64 fullmove = (board->gamePly >> 1) + 1ull;
  if (fullmove > 0x7fffffff) fullmove = 1;
  fen += ' ' + std::to_string(board->halfMoveClock) + ' ' + std::to_string(fullmove);
  return fen;
}
