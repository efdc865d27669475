// The index tables: square maps, king-pair numbers, enumerations and the offset totals that
// fix the length of every table file.
#include "tablebase/index_tables.h"

#include <gtest/gtest.h>

namespace {

// Table square from a name such as "c5".
u32 T(const char* name) {
  return 8 * static_cast<u32>(name[1] - '1') + static_cast<u32>(name[0] - 'a');
}

class TbIndexTablesTest : public ::testing::Test {
 protected:
  void SetUp() override { BuildTbIndexTables(); }
};

TEST_F(TbIndexTablesTest, SquareMapIsRankMajorAndInvertible) {
  bool seen[64] = {};
  for (u32 s = 0; s < 64; ++s) {
    u32 t = TbSquareMap[s];
    ASSERT_LT(t, 64u);
    EXPECT_FALSE(seen[t]);
    seen[t] = true;
    EXPECT_EQ(TbFile(t), s / 8) << s;  // board squares are file-major
    EXPECT_EQ(TbRank(t), s % 8) << s;
  }
  EXPECT_EQ(TbSquareMap[64], TbNoSquare);
  EXPECT_EQ(TbSquareMap[1], T("a2"));
  EXPECT_EQ(TbSquareMap[8], T("b1"));
}

TEST_F(TbIndexTablesTest, SymmetryMasksBringSquaresHome) {
  for (u32 t = 0; t < 64; ++t) {
    EXPECT_LE(TbFile(t ^ TbPawnMirror[t]), 3u);
    EXPECT_EQ(TbRank(t ^ TbPawnMirror[t]), TbRank(t));
    EXPECT_LE(TbFile(t ^ TbPawnlessMirror[t]), 3u);
    EXPECT_LE(TbRank(t ^ TbPawnlessMirror[t]), 3u);
    EXPECT_EQ(TbDiagonalReflect[TbDiagonalReflect[t]], t);
  }
  int triangle = 0;
  for (u32 t = 0; t < 64; ++t) triangle += TbInTriangle[t];
  EXPECT_EQ(triangle, 10);
  EXPECT_EQ(TbInTriangle[T("d4")], 1u);
  EXPECT_EQ(TbInTriangle[T("b3")], 0u);
  EXPECT_EQ(TbFlipMask[1], 56u);
}

TEST_F(TbIndexTablesTest, KingPairNumbers) {
  struct Case {
    const i16* table;
    const char* k1;
    const char* k2;
    i16 number;
  };
  const Case cases[] = {
      {TbKingPairsPawn, "a1", "c1", 0},
      {TbKingPairsPawn, "a1", "d1", 1},
      {TbKingPairsPawn, "a1", "b1", TbNoKingPair},
      {TbKingPairsPawn, "d8", "h8", 1805},
      {TbKingPairsPawn, "e1", "a8", TbNoKingPair},  // first king beyond file d
      {TbKingPairsPawnless, "a1", "c1", 0},
      {TbKingPairsPawnless, "a1", "b1", TbNoKingPair},
      {TbKingPairsPawnless, "d4", "h8", 461},
      {TbKingPairsPawnless, "c3", "b4", TbNoKingPair},  // above the diagonal
      {TbKingPairsPawnless, "c3", "b5", TbNoKingPair},
      {TbKingPairsPawnless, "b3", "h8", TbNoKingPair},  // first king off the triangle
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.table[T(c.k1) * 64 + T(c.k2)], c.number) << c.k1 << c.k2;
  }
  int pawn = 0;
  int pawnless = 0;
  for (int i = 0; i < 4096; ++i) {
    pawn += TbKingPairsPawn[i] != TbNoKingPair;
    pawnless += TbKingPairsPawnless[i] != TbNoKingPair;
  }
  EXPECT_EQ(pawn, TbPawnKingPairCount);
  EXPECT_EQ(pawnless, TbPawnlessKingPairCount);
}

TEST_F(TbIndexTablesTest, EnumerationExclusions) {
  const u8* pawn = TbEnumTable[TbKindPawn] + T("c5") * 64;
  EXPECT_EQ(pawn[T("b4")], 255);
  EXPECT_EQ(pawn[T("d4")], 255);
  EXPECT_EQ(pawn[T("c5")], 255);
  EXPECT_EQ(pawn[T("c4")], T("c4") - 8 - 1);  // b4 excluded below it
  EXPECT_EQ(TbEnumCount[TbKindPawn][T("c5")], 45);
  // On file a the pawn on file b below is the only other exclusion; no wrap to file h.
  const u8* edge = TbEnumTable[TbKindPawn] + T("a5") * 64;
  EXPECT_EQ(edge[T("b4")], 255);
  EXPECT_NE(edge[T("h3")], 255);
  EXPECT_EQ(TbEnumCount[TbKindPawn][T("a5")], 46);
  EXPECT_EQ(TbEnumCount[TbKindPawn][T("h1")], 48);  // nothing attacks from off the board

  EXPECT_EQ(TbEnumCount[TbKindQueen][T("a1")], 60);
  EXPECT_EQ(TbEnumCount[TbKindQueen][T("h8")], 60);
  EXPECT_EQ(TbEnumCount[TbKindQueen][T("e1")], 58);
  EXPECT_EQ(TbEnumCount[TbKindQueen][T("a5")], 58);
  EXPECT_EQ(TbEnumCount[TbKindQueen][T("d5")], 55);
  EXPECT_EQ(TbEnumCount[TbKindFreePawn][T("e4")], 47);
  EXPECT_EQ(TbEnumCount[TbKindFreePawn][T("e8")], 48);
  EXPECT_EQ(TbEnumCount[TbKindKnight][T("e4")], 55);
  EXPECT_EQ(TbEnumCount[TbKindKnight][T("a1")], 61);
  EXPECT_EQ(TbEnumCount[TbKindBishop][T("e4")], 59);
  EXPECT_EQ(TbEnumCount[TbKindRook][T("e4")], 59);
  EXPECT_EQ(TbEnumCount[TbKindRook][T("a1")], 61);
}

TEST_F(TbIndexTablesTest, OffsetTotals) {
  const u64 pawn1[6] = {84012, 81664, 102748, 106500, 105684, 100212};
  for (int kind = 0; kind < 6; ++kind) EXPECT_EQ(TbOffsets1PawnTotal[kind], pawn1[kind]) << kind;
  const u64 pawnless1[6] = {0, 0, 26282, 27243, 27036, 25635};
  for (int kind = 2; kind < 6; ++kind)
    EXPECT_EQ(TbOffsets1PawnlessTotal[kind], pawnless1[kind]) << kind;
  EXPECT_EQ(TbOffsets2PawnTotal[1][1], 1806671u);
  EXPECT_EQ(TbOffsets2PawnTotal[0][0], 1912372u);
  EXPECT_EQ(TbOffsets2PawnlessTotal[2][2], 735304u);
  // Each block starts where the one before it ends.
  EXPECT_EQ(TbOffsets1Pawnless[TbKindKnight][0], 0u);
  EXPECT_EQ(TbOffsets1Pawnless[TbKindKnight][32], 1806u);
}

}  // namespace
