// Move text: coordinate notation written and read, standard algebraic notation read.
#include "board/notation.h"

#include "board/movegen.h"

namespace {

bool IsFileLetter(char c) { return c >= 'a' && c <= 'h'; }
bool IsRankDigit(char c) { return c >= '1' && c <= '8'; }

u32 SquareFromText(char file, char rank) {
  return MakeSquare(static_cast<u32>(file - 'a'), static_cast<u32>(rank - '1'));
}

// Promotion code of a letter (upper case allowed as in SAN), or 0 when it is none.
u32 PromotionCode(char letter) {
  switch (letter) {
    case 'n': case 'N': return WhiteKnight;
    case 'b': case 'B': return WhiteBishop;
    case 'r': case 'R': return WhiteRook;
    case 'q': case 'Q': return WhiteQueen;
    default: return 0;
  }
}

// Only bits 0-15 belong to the parsed move; the caller's upper bits stay.
void StoreMove(u32* move, u32 from, u32 to, u32 promotion) {
  *move = (*move & 0xffff0000u) | MakeMoveWord(from, to, promotion);
}

}  // namespace

std::string MoveToText(const u32& move) {
  std::string text;
  text += static_cast<char>('a' + ((move >> 3) & 7));
  text += static_cast<char>('1' + (move & 7));
  text += static_cast<char>('a' + ((move >> 9) & 7));
  text += static_cast<char>('1' + ((move >> 6) & 7));
  // Fields above 12 only come from corrupt words; they have no letter.
  u32 promotion = MovePromotion(move);
  if (promotion < NoPromotion) text += PieceLetters[promotion | 1];
  return text;
}

bool IsCoordinateMove(const std::string& text) {
  if (text.size() != 4 && text.size() != 5) return false;
  if (!IsFileLetter(text[0]) || !IsRankDigit(text[1]) || !IsFileLetter(text[2]) || !IsRankDigit(text[3]))
    return false;
  if (text.size() == 5) {
    char p = text[4];
    if (p != 'b' && p != 'n' && p != 'q' && p != 'r') return false;
  }
  return true;
}

bool ParseCoordinateMove(u32* move, const std::string& text) {
  if (!IsCoordinateMove(text)) return false;
  u32 promotion = text.size() == 5 ? PromotionCode(text[4]) : NoPromotion;
  StoreMove(move, SquareFromText(text[0], text[1]), SquareFromText(text[2], text[3]), promotion);
  return true;
}

void RemoveAll(const char* pattern, std::string& text) {
  std::string needle(pattern);
  if (needle.empty()) return;
  for (size_t at = text.find(needle); at != std::string::npos; at = text.find(needle, at))
    text.erase(at, needle.size());
}

bool ParseSan(u32* move, std::string& text, Board* board) {
  RemoveAll("#", text);
  RemoveAll("+", text);
  RemoveAll("!", text);
  RemoveAll("?", text);
  if (!text.empty() && text[0] >= 'A' && text[0] <= 'Z') return ParseSanPieceMove(move, text, board);
  return ParsePawnSan(move, text, board);
}

bool ParseSanPieceMove(u32* move, const std::string& text, Board* board) {
  u32 side = SideToMove(board);
  if (!text.empty() && text[0] == 'O') {
    const char* castling = text.size() < 4 ? (side == White ? "e1g1" : "e8g8")
                                           : (side == White ? "e1c1" : "e8c8");
    return ParseCoordinateMove(move, castling);
  }
  u32 type;
  switch (text.empty() ? '\0' : text[0]) {
    case 'K': type = TypeOf(WhiteKing); break;
    case 'Q': type = TypeOf(WhiteQueen); break;
    case 'R': type = TypeOf(WhiteRook); break;
    case 'N': type = TypeOf(WhiteKnight); break;
    case 'B': type = TypeOf(WhiteBishop); break;
    default: return false;
  }
  i32 length = static_cast<i32>(text.size());
  if (length < 3) return false;
  char targetFile = text[length - 2], targetRank = text[length - 1];
  if (!IsFileLetter(targetFile) || !IsRankDigit(targetRank)) return false;
  u32 to = SquareFromText(targetFile, targetRank);

  i32 fromFile = -1, fromRank = -1;
  i32 p = text[length - 3] == 'x' ? length - 4 : length - 3;
  auto examine = [&](char c) {
    if (IsRankDigit(c)) fromRank = c - '1';
    else if (IsFileLetter(c)) fromFile = c - 'a';
  };
  if (p >= 1) examine(text[p]);
  if (p >= 2) examine(text[p - 1]);
  if (fromFile >= 0 && fromRank >= 0) {
    StoreMove(move, MakeSquare(fromFile, fromRank), to, NoPromotion);
    return true;
  }

  u8 piece = static_cast<u8>((type << 1) | side);
  MoveList list;
  list.count = 0;
  GenerateLegalMoves(board, &list);
  for (i32 i = 0; i < list.count; ++i) {
    u32 from = MoveFrom(list.moves[i]);
    if (MoveTo(list.moves[i]) != to || board->squares[from] != piece) continue;
    if (fromFile >= 0 && static_cast<i32>(FileOf(from)) != fromFile) continue;
    if (fromRank >= 0 && static_cast<i32>(RankOf(from)) != fromRank) continue;
    StoreMove(move, from, to, NoPromotion);
    return true;
  }
  return false;
}

bool ParsePawnSan(u32* move, const std::string& text, Board* board) {
  if (text.size() < 2) return false;
  bool capture = text[1] == 'x';
  if (capture && text.size() < 4) return false;
  size_t targetAt = capture ? 2 : 0;
  if (!IsFileLetter(text[targetAt]) || !IsRankDigit(text[targetAt + 1])) return false;
  u32 to = SquareFromText(text[targetAt], text[targetAt + 1]);

  u32 promotion = NoPromotion;
  bool hasPromotion = capture ? text.size() > 4 : text.size() != 2;
  if (hasPromotion) {
    size_t letterAt = capture ? 5 : 3;
    promotion = letterAt < text.size() ? PromotionCode(text[letterAt]) : 0;
    if (promotion == 0) return false;
  }

  u8 pawn = static_cast<u8>(WhitePawn | SideToMove(board));
  MoveList list;
  list.count = 0;
  GenerateLegalMoves(board, &list);
  for (i32 i = 0; i < list.count; ++i) {
    u32 from = MoveFrom(list.moves[i]);
    if (MoveTo(list.moves[i]) != to || board->squares[from] != pawn) continue;
    if (capture && static_cast<i32>(FileOf(from)) != text[0] - 'a') continue;
    StoreMove(move, from, to, promotion);
    return true;
  }
  return false;
}
