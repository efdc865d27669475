// The key generator and draw order: book files store these keys, so the values are fixed.
#include <gtest/gtest.h>

#include "board/make_move.h"
#include "board/zobrist.h"
#include "board_testing.h"

TEST(Zobrist, GeneratorSeededByMultiplicationGivesKnownOutputs) {
  MT19937 generator;
  SeedMT19937(&generator, ZobristSeed);
  EXPECT_EQ(generator.state[1], 12347u * 69069u);
  EXPECT_EQ(NextMT19937(&generator), 0xeee3bf71u);
  EXPECT_EQ(NextMT19937(&generator), 0xe8ba2aa6u);
}

TEST(Zobrist, KeysAreDrawnInTheFixedOrder) {
  InitBoardTables();
  // Low half from the first output, high half from the second.
  EXPECT_EQ(ZobristSide, 0xe8ba2aa6eee3bf71ull);
  // The castle keys are drawn white O-O first.
  EXPECT_EQ(ZobristCastle[2], 0x6af438e7b261cf1dull);
  EXPECT_EQ(ZobristEnPassant[64], 0x64e510f19f795ea7ull);
  EXPECT_EQ(ZobristPieceSquare[11][63], 0xbc08c67fca7b4ad4ull);
}

TEST(Zobrist, GeneratorStopsAfterTheLastKey) {
  InitBoardTables();
  // 1676 outputs were drawn: the next one continues the same stream.
  MT19937 generator;
  SeedMT19937(&generator, ZobristSeed);
  for (int i = 0; i < 1676; ++i) NextMT19937(&generator);
  MT19937 copy = ZobristGenerator;
  EXPECT_EQ(NextMT19937(&copy), NextMT19937(&generator));
}

TEST(Zobrist, StartPositionKeys) {
  LoadedBoard start(StartFen);
  EXPECT_EQ(start->key, 0xff72643776cc0fd3ull);
  EXPECT_EQ(start->pawnKingKey, 0x1ab9cc449790e454ull);
  MakeMove(start.get(), WhitePawn, Mv("e2e4"));
  EXPECT_EQ(start->key, 0xed8b9cd8c9740b8cull);
  EXPECT_EQ(start->pawnKingKey, 0x1ab9cc449790e454ull ^ ZobristPieceSquare[WhitePawn][Sq("e2")] ^
                                    ZobristPieceSquare[WhitePawn][Sq("e4")]);
}
