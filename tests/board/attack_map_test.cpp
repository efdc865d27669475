// The incremental attack map: slider distances cut and extended, counts and bits, square tables.
#include <gtest/gtest.h>

#include <cstring>

#include "board/attack_map.h"
#include "board_testing.h"

namespace {

u32 Field(const Board* board, const char* square, u32 colour, u32 direction) {
  return SliderField(board->attacks.words[Sq(square)][colour], direction);
}

// Puts a piece on an empty square or takes it off, in the order MakeMove uses.
void Put(Board* board, u8 piece, const char* square) {
  PlacePieceAttacks(&board->attacks, piece, Sq(square));
  board->squares[Sq(square)] = piece;
}
void Take(Board* board, u8 piece, const char* square) {
  board->squares[Sq(square)] = Empty;
  RemovePieceAttacks(&board->attacks, piece, Sq(square));
}

bool SameAsRebuilt(const Board* board) {
  Board rebuilt = *board;
  rebuilt.attacks.board = &rebuilt;
  BuildAttackMap(&rebuilt);
  return std::memcmp(rebuilt.attacks.words, board->attacks.words, sizeof(board->attacks.words)) == 0 &&
         rebuilt.attacks.attacked[0] == board->attacks.attacked[0] &&
         rebuilt.attacks.attacked[1] == board->attacks.attacked[1];
}

constexpr u32 West = 6;

}  // namespace

TEST(AttackMap, BlockerCutsAndRestoresTheRookRay) {
  LoadedBoard board("4k3/8/8/8/8/8/8/R3K3 w - - 0 1");
  const char* squares[] = {"b1", "c1", "d1", "e1", "f1"};
  const u32 before[] = {1, 2, 3, 4, 0};
  for (int i = 0; i < 5; ++i) EXPECT_EQ(Field(board.get(), squares[i], White, West), before[i]) << squares[i];

  Put(board.get(), WhiteKnight, "c1");
  const u32 blocked[] = {1, 2, 0, 0, 0};
  for (int i = 0; i < 5; ++i) EXPECT_EQ(Field(board.get(), squares[i], White, West), blocked[i]) << squares[i];
  EXPECT_TRUE(SameAsRebuilt(board.get()));

  Take(board.get(), WhiteKnight, "c1");
  for (int i = 0; i < 5; ++i) EXPECT_EQ(Field(board.get(), squares[i], White, West), before[i]) << squares[i];
  EXPECT_TRUE(SameAsRebuilt(board.get()));
}

TEST(AttackMap, KnightCountAndAttackedBit) {
  u32 d2 = Sq("d2");
  LoadedBoard two("4k3/8/8/8/8/8/8/1N3N1K w - - 0 1");  // b1 and f1 both reach d2
  EXPECT_EQ(two->attacks.words[d2][White], 2 * KnightAttackUnit);
  Take(two.get(), WhiteKnight, "b1");
  EXPECT_EQ(two->attacks.words[d2][White], KnightAttackUnit);
  EXPECT_TRUE(two->attacks.attacked[White] & SquareBit[d2]);
  Take(two.get(), WhiteKnight, "f1");
  EXPECT_EQ(two->attacks.words[d2][White], 0u);
  EXPECT_FALSE(two->attacks.attacked[White] & SquareBit[d2]);
}

TEST(AttackMap, PawnsOnTheEdgeFilesAttackOneSquare) {
  LoadedBoard board("4k3/8/8/8/8/8/P6P/4K3 w - - 0 1");
  EXPECT_EQ(board->attacks.words[Sq("b3")][White], PawnAttackHigherBit);
  EXPECT_EQ(board->attacks.words[Sq("g3")][White], PawnAttackLowerBit);
  EXPECT_EQ(board->attacks.words[Sq("a3")][White], 0u);
  LoadedBoard black("4k3/p6p/8/8/8/8/8/4K3 w - - 0 1");
  EXPECT_EQ(black->attacks.words[Sq("b6")][Black], PawnAttackHigherBit);
  EXPECT_EQ(black->attacks.words[Sq("g6")][Black], PawnAttackLowerBit);
}

TEST(AttackMap, RearSliderSeenOnlyWhenTheFrontOneLeaves) {
  LoadedBoard board("4k3/8/8/8/8/8/8/QR2K3 w - - 0 1");  // queen a1 behind rook b1
  EXPECT_EQ(Field(board.get(), "c1", White, West), 1u);  // the rook, no x-ray
  EXPECT_EQ(Field(board.get(), "b1", White, West), 1u);  // the queen attacks the rook's square
  Take(board.get(), WhiteRook, "b1");
  EXPECT_EQ(Field(board.get(), "b1", White, West), 1u);
  EXPECT_EQ(Field(board.get(), "c1", White, West), 2u);
  EXPECT_EQ(Field(board.get(), "e1", White, West), 4u);
  EXPECT_EQ(Field(board.get(), "f1", White, West), 0u);
  EXPECT_TRUE(SameAsRebuilt(board.get()));
}

TEST(AttackMap, CheckByEveryKindOfPiece) {
  struct Case {
    const char* fen;
    bool check;
  };
  const Case cases[] = {
      {"4k3/8/8/8/8/8/3p4/4K3 w - - 0 1", true},   // pawn
      {"4k3/8/8/8/8/5n2/8/4K3 w - - 0 1", true},   // knight
      {"4k3/8/8/8/8/8/8/r3K3 w - - 0 1", true},    // rook along the rank
      {"4k3/8/8/b7/8/8/8/4K3 w - - 0 1", true},    // bishop
      {"4k3/8/8/8/8/8/8/rN2K3 w - - 0 1", false},  // blocked
  };
  for (const Case& c : cases) {
    LoadedBoard board(c.fen);
    EXPECT_EQ(InCheck(board.get()), c.check) << c.fen;
  }
}

TEST(AttackMap, NeighbouringKingsSetTheKingBit) {
  // Built by hand: SetFen refuses kings that touch, the map itself still records them.
  LoadedBoard board("8/8/8/8/8/8/8/K6k w - - 0 1");
  Take(board.get(), BlackKing, "h1");
  Put(board.get(), BlackKing, "b2");
  EXPECT_EQ(board->attacks.words[Sq("a1")][Black], KingAttackBit);
  EXPECT_EQ(AttackerCount(board->attacks.words[Sq("a1")][Black]), 1u);
}

TEST(AttackMap, AttackerCountAddsEveryKind) {
  AttackWord word = (3u << 0) | (1u << 9) | KingAttackBit | PawnAttackLowerBit | PawnAttackHigherBit |
                    3 * KnightAttackUnit;
  EXPECT_EQ(AttackerCount(word), 8u);
  EXPECT_EQ(AttackerCount(0), 0u);
  // Every slider field with every distance counts once, alone and beside all the others.
  for (u32 d = 0; d < 8; ++d) {
    for (u32 n = 1; n < 8; ++n) {
      const AttackWord field = n << (3 * d);
      EXPECT_EQ(AttackerCount(field), 1u) << d << " " << n;
      EXPECT_EQ(AttackerCount((SliderFieldsMask & ~(7u << (3 * d))) | field), 8u) << d << " " << n;
    }
  }
  EXPECT_EQ(AttackerCount(~0u), 8u + 3u + 31u);
}

TEST(SquareTables, RelationsAndRaySquares) {
  InitBoardTables();
  EXPECT_EQ(SquareRelation[Sq("a1")][Sq("a1")], 0);
  EXPECT_EQ(SquareRelation[Sq("a1")][Sq("b3")], 2);
  EXPECT_EQ(SquareRelation[Sq("a1")][Sq("b4")], 0);
  EXPECT_EQ(SquareRelation[Sq("a1")][Sq("h8")], 1 | (1 << 2) | (7 << 5));
  EXPECT_EQ(SquareRelation[Sq("h8")][Sq("a1")], 1 | (5 << 2) | (7 << 5));
  EXPECT_EQ(SquareRelation[Sq("e4")][Sq("e3")], 1 | (4 << 2) | (1 << 5));
  // The low four bits name the line, whichever way along it.
  EXPECT_EQ(SquareRelation[Sq("a1")][Sq("h8")] & 15, SquareRelation[Sq("h8")][Sq("a1")] & 15);
  EXPECT_NE(SquareRelation[Sq("d4")][Sq("d5")] & 15, SquareRelation[Sq("d4")][Sq("e4")] & 15);
  EXPECT_EQ(RaySquare[Sq("d4")][2 * 8 + 0], Sq("d4"));
  EXPECT_EQ(RaySquare[Sq("d4")][2 * 8 + 3], Sq("g4"));
  EXPECT_EQ(RaySquare[Sq("d4")][7 * 8 + 3], Sq("a7"));
}
