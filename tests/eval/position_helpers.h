// Positions for the evaluation tests: loading, random legal games and colour-flipped twins.
#pragma once

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "board/board_testing.h"
#include "board/board.h"
#include "board/fen.h"
#include "board/make_move.h"
#include "board/move_list.h"
#include "board/movegen.h"
#include "board/notation.h"

struct MoveFacts {
  u8 movingPiece;
  u8 capturedPiece;  // 12 = none; the pawn for en passant
  u32 captureSquare;
};

inline MoveFacts FactsOf(const Board& board, u32 move) {
  const u32 from = MoveFrom(move), to = MoveTo(move);
  MoveFacts f{board.squares[from], board.squares[to], to};
  if (TypeOf(f.movingPiece) == 0 && to == board.epSquare && FileOf(from) != FileOf(to)) {
    f.captureSquare = ColourOf(f.movingPiece) == White ? to - 1 : to + 1;
    f.capturedPiece = board.squares[f.captureSquare];
  }
  return f;
}

inline u32 RandomLegalMove(Board* board, std::mt19937* rng) {
  MoveList list;
  list.count = 0;
  GenerateLegalMoves(board, &list);
  if (list.count == 0) return EmptyMove;
  return list.moves[std::uniform_int_distribution<int>(0, list.count - 1)(*rng)];
}

// The same position with colours exchanged and the board mirrored rank for rank.
inline std::string FlippedFen(const std::string& fen) {
  std::string fields[6];
  std::size_t at = 0;
  for (std::string& field : fields) {
    const std::size_t end = fen.find(' ', at);
    field = fen.substr(at, end == std::string::npos ? std::string::npos : end - at);
    at = end == std::string::npos ? fen.size() : end + 1;
  }
  auto swapCase = [](char c) {
    return static_cast<char>(std::isupper(static_cast<unsigned char>(c)) ? std::tolower(c)
                                                                         : std::toupper(c));
  };
  std::string ranks[8];
  int r = 0;
  for (char c : fields[0]) {
    if (c == '/') ++r;
    else if (r < 8) ranks[r] += swapCase(c);
  }
  std::string placement;
  for (int i = 7; i >= 0; --i) placement += ranks[i] + (i ? "/" : "");
  std::string castling;
  for (char c : std::string("KQkq")) {
    if (fields[2].find(swapCase(c)) != std::string::npos) castling += c;
  }
  if (castling.empty()) castling.push_back('-');
  std::string ep = fields[3];
  if (ep != "-") ep[1] = static_cast<char>('1' + ('8' - ep[1]));
  std::string flipped = placement;
  flipped.append(fields[1] == "w" ? " b " : " w ").append(castling).append(" ").append(ep);
  flipped.append(" ").append(fields[4]).append(" ").append(fields[5]);
  return flipped;
}
