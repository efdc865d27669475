// The record's derived fields: material, counts and the phase byte.
#include <gtest/gtest.h>

#include "board_testing.h"

TEST(Board, StartPositionFields) {
  LoadedBoard start(StartFen);
  EXPECT_EQ(start->phase, Opening);
  EXPECT_EQ(start->material[White], 4060);
  EXPECT_EQ(start->material[Black], 4060);
  EXPECT_EQ(start->pieceCount[White], 16u);
  EXPECT_EQ(start->pieceCount[Black], 16u);
  EXPECT_EQ(start->epSquare, NoSquare);
  EXPECT_EQ(start->gamePly, 0u);
  EXPECT_EQ(KingSquare(start.get(), White), Sq("e1"));
  EXPECT_EQ(KingSquare(start.get(), Black), Sq("e8"));
  for (int right = 0; right < 4; ++right) EXPECT_EQ(start->castleRights[right] & 1, 1);
  EXPECT_EQ(start->occupied[White], 0x0303030303030303ull);
  EXPECT_EQ(start->pawnBits[Black], 0x4040404040404040ull);
}

TEST(Board, PhaseCountsPiecesOtherThanPawnsKingsIncluded) {
  struct Case {
    const char* fen;
    u8 phase;
  };
  const Case cases[] = {
      {"7k/8/8/8/8/8/8/K7 w - - 0 1", Endgame},                   // n = 2
      {"7k/pppp4/8/8/8/8/PPPP4/K7 w - - 0 1", Endgame},           // pawns do not count
      {"7k/8/8/8/8/8/8/KNBR4 w - - 0 1", Endgame},                // n = 5
      {"7k/8/8/8/8/8/8/KNBRQ3 w - - 0 1", EarlyEndgame},          // n = 6
      {"5brk/8/8/8/8/8/8/KNBRQ3 w - - 0 1", EarlyEndgame},        // n = 8
      {"4nbrk/8/8/8/8/8/8/KNBRQ3 w - - 0 1", Middlegame},         // n = 9
      {"r1bqkb1r/8/8/8/8/8/8/R1BQKB1R w - - 0 1", Middlegame},    // n = 12
      {"r1bqkb1r/8/8/8/8/8/8/RNBQKB1R w - - 0 1", Middlegame},    // n = 13
      {"r1bqkb1r/8/8/8/8/8/8/RNBQKBNR w - - 0 1", Opening},       // n = 14
  };
  for (const Case& c : cases) {
    LoadedBoard board(c.fen);
    EXPECT_EQ(board->phase, c.phase) << c.fen;
  }
}

TEST(Board, FreshRecordPointsItsMapAtItself) {
  Board board;
  EXPECT_EQ(board.attacks.board, &board);
  for (const PieceList& list : board.pieceLists) EXPECT_EQ(list.count, 0);
}
