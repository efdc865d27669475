// Small helpers shared by the board tests: squares and moves from text, loaded positions.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "board/board.h"
#include "board/fen.h"
#include "board/make_move.h"
#include "board/move_list.h"
#include "board/movegen.h"
#include "board/notation.h"

inline u32 Sq(const char* text) {
  return MakeSquare(static_cast<u32>(text[0] - 'a'), static_cast<u32>(text[1] - '1'));
}

// Coordinate text to the move word (promotion 12 when there is no letter).
inline u32 Mv(const char* text) {
  u32 move = 0;
  EXPECT_TRUE(ParseCoordinateMove(&move, text)) << text;
  return move;
}

inline std::vector<std::string> MoveTexts(const MoveList& list) {
  std::vector<std::string> texts;
  for (i32 i = 0; i < list.count; ++i) texts.push_back(MoveToText(list.moves[i]));
  return texts;
}

inline std::vector<std::string> LegalMoveTexts(Board* board) {
  MoveList list;
  list.count = 0;
  GenerateLegalMoves(board, &list);
  return MoveTexts(list);
}

// A game position for judging a program's answers: coordinate moves are played only when legal.
struct GameBoard {
  Board board;
  explicit GameBoard(const std::string& fen = StartFen) { SetFen(&board, fen.c_str()); }
  // A board's attack map points to its own record.
  GameBoard(const GameBoard& other) : board(other.board) { board.attacks.board = &board; }
  GameBoard& operator=(const GameBoard& other) {
    board = other.board;
    board.attacks.board = &board;
    return *this;
  }
  bool play(const std::string& text) {
    u32 move = 0;
    if (!ParseCoordinateMove(&move, text) || !IsLegalMove(&board, move)) return false;
    MakeMove(&board, board.squares[MoveFrom(move)], move);
    return true;
  }
  bool legal(const std::string& text) const {
    GameBoard copy(*this);
    return copy.play(text);
  }
  // A bestmove's move: legal here, or 0000 when there is none.
  bool answers(const std::string& text) const {
    if (text == "0000") return CountLegalMoves(const_cast<Board*>(&board)) == 0;
    return legal(text);
  }
  std::vector<std::string> moves() const {
    MoveList list;
    list.count = 0;
    GenerateLegalMoves(const_cast<Board*>(&board), &list);
    std::vector<std::string> texts;
    for (i32 i = 0; i < list.count; ++i) texts.push_back(MoveToText(list.moves[i]));
    return texts;
  }
};

// A board holding the position; the test fails when the FEN is refused.
struct LoadedBoard {
  Board board;
  explicit LoadedBoard(const char* fen) { EXPECT_TRUE(SetFen(&board, fen)) << fen; }
  LoadedBoard(const LoadedBoard&) = delete;
  Board* operator->() { return &board; }
  Board* get() { return &board; }
};
