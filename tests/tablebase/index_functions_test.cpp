// The index functions against an enumeration of legal positions written apart from them:
// every legal position lands below its row's count, the last one on count - 1, two positions
// share an index only when they are images of each other, and a colour-reversed position
// reaches the same (row, side, index) through the probe's swapped path.
//
// Under AddressSanitizer or ThreadSanitizer the exhaustive runs cover the three-man tables and
// a few four-man shapes, and the five-man tails a few rows; the Release build checks them all.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <ostream>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "tablebase/descriptors.h"
#include "tablebase/index_functions.h"
#include "tablebase/index_tables.h"
#include "tb_positions.h"

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool TbFullChecks = false;
#else
constexpr bool TbFullChecks = true;
#endif

namespace {

struct RowSide {
  int row;
  int side;
};

void PrintTo(const RowSide& rs, std::ostream* os) {
  *os << TablebaseDescriptorTable[rs.row].name << (rs.side == 0 ? " wtm" : " btm");
}

std::string RowSideName(const ::testing::TestParamInfo<RowSide>& info) {
  return std::string(TablebaseDescriptorTable[info.param.row].name) +
         (info.param.side == 0 ? "_wtm" : "_btm");
}

std::vector<RowSide> RowSides(int first, int last, const std::vector<std::string>& reduced) {
  std::vector<RowSide> out;
  for (int row = first; row <= last; ++row) {
    if (!TbFullChecks && !reduced.empty() &&
        std::find(reduced.begin(), reduced.end(), TablebaseDescriptorTable[row].name) ==
            reduced.end())
      continue;
    out.push_back({row, 0});
    out.push_back({row, 1});
  }
  return out;
}

// The direct call of a table's own function, the table's colours as they stand.
u32 IndexOf(Board* board, const TbMaterial& m, const TbPlacement& p, RowSide rs) {
  TbLoadBoard(board, m, p, rs.side, false);
  TbPosition = board;
  u32 white = 0;
  u32 black = 1;
  u32 ep = p.ep == 64 ? TbNoSquare : TbSquareMap[p.ep];
  return TablebaseDescriptorTable[rs.row].indexFunction[rs.side](&white, &black, ep, 0);
}

void ExpectReversedReachesSameIndex(Board* board, const TbMaterial& m, const TbPlacement& p,
                                    RowSide rs, u32 index) {
  TbLoadBoard(board, m, p, rs.side, true);
  TbLookup lookup{};
  ASSERT_TRUE(TbLookupBoard(board, &lookup));
  ASSERT_EQ(lookup.row, rs.row);
  ASSERT_EQ(lookup.side, rs.side);
  ASSERT_EQ(lookup.index, index) << "colour-reversed image, code " << TbEncode(m, p);
}

class TbIndexFunctionTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { TbEnterAllRowsInTree(); }
  Board board;
};

TEST_F(TbIndexFunctionTest, WorkedExampleKnk) {
  // White king a1, knight c2, black king h8, white to move (board squares file-major).
  TbPlacement p{{0, 63}, {17, 0, 0}, 64};
  EXPECT_EQ(IndexOf(&board, TbMaterialOfRow(TbRowOfName("knk")), p, {TbRowOfName("knk"), 0}),
            1815u);
}

TEST_F(TbIndexFunctionTest, RangesCoverCounts) {
  struct Case {
    const char* name;
    int side;
    u64 range;
  };
  const Case cases[] = {{"krk", 0, 27036},       {"kpk", 0, 81664},
                        {"kpkp", 0, 3863492},     {"kbnkr", 0, 93037260},
                        {"kppkr", 1, 119211552},  {"knpkb", 1, 306720000}};
  for (const Case& c : cases) {
    EXPECT_EQ(TbIndexRange(TbRowOfName(c.name), c.side), c.range) << c.name;
  }
  for (int row = 1; row < TbRowCount; ++row) {
    for (int side = 0; side < 2; ++side) {
      u64 range = TbIndexRange(row, side);
      u32 count = TablebaseDescriptorTable[row].positions[side];
      EXPECT_GE(range, count) << TablebaseDescriptorTable[row].name << side;
      EXPECT_LT(range - count, 6000u) << TablebaseDescriptorTable[row].name << side;
    }
  }
}

TEST_F(TbIndexFunctionTest, DescriptorRowsFollowTheNamingRule) {
  EXPECT_STREQ(TablebaseDescriptorTable[0].name, "kk");
  EXPECT_EQ(TablebaseDescriptorTable[0].indexFunction[0], nullptr);
  for (int row = 1; row < TbRowCount; ++row) {
    const TablebaseDescriptor& d = TablebaseDescriptorTable[row];
    EXPECT_EQ(d.id, row);
    EXPECT_NE(d.indexFunction[0], nullptr);
    EXPECT_NE(d.indexFunction[1], nullptr);
    EXPECT_TRUE(d.filePath[0].empty() && d.file[0] == nullptr && d.decoder[1] == nullptr);
    TbMaterial m = TbMaterialOfRow(row);
    int men[2] = {0, 0};
    for (int i = 0; i < m.count; ++i) men[m.colour[i]]++;
    EXPECT_GE(men[0], men[1]) << d.name;
    if (men[0] == 1 && men[1] == 1) {
      EXPECT_GE(m.type[0], m.type[1]) << d.name;
    }
  }
  EXPECT_EQ(TablebaseDescriptorTable[36].positions[1], 89391280u);
  EXPECT_STREQ(TablebaseDescriptorTable[110].name, "kqqkq");
  EXPECT_EQ(TablebaseDescriptorTable[110].indexFunction[1], &Index_kqqkq_btm);
}

TEST_F(TbIndexFunctionTest, MaterialTreeGivesSignedRows) {
  struct Case {
    u32 counts[TbTreeLevels];
    i32 id;
  };
  const Case cases[] = {
      {{0, 1, 0, 0, 0, 0, 0, 0, 0, 0}, 2},    // knk
      {{0, 0, 0, 0, 0, 0, 1, 0, 0, 0}, -2},   // a black knight against the bare king
      {{1, 0, 0, 0, 0, 1, 0, 0, 0, 0}, -6},   // kpkp: equal material takes the swapped path
      {{0, 0, 0, 0, 1, 0, 0, 0, 0, 1}, -20},  // kqkq
      {{0, 0, 1, 0, 0, 0, 1, 0, 0, 0}, 10},   // kbkn
      {{0, 1, 0, 0, 0, 0, 0, 1, 0, 0}, -10},  // knkb
      {{0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, 0},    // kk
      {{1, 0, 0, 0, 0, 1, 1, 0, 0, 0}, -41},  // kpknp is knpkp with colours exchanged
      {{0, 0, 0, 0, 2, 1, 0, 0, 0, 0}, 106},  // kqqkp
      {{1, 0, 0, 0, 0, 0, 0, 0, 0, 2}, -106},
  };
  for (const Case& c : cases) EXPECT_EQ(LookupPieceCountTree(c.counts), c.id);
  const u32 fourPawns[TbTreeLevels] = {2, 0, 0, 0, 0, 2, 0, 0, 0, 0};
  EXPECT_EQ(PieceCountTreeSlot(fourPawns), nullptr);
  const u32 threeWhite[TbTreeLevels] = {3, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  ASSERT_NE(PieceCountTreeSlot(threeWhite), nullptr);
  EXPECT_EQ(LookupPieceCountTree(threeWhite), 0);
}

// An empty list where the table expects a man, or kings that no pair numbers, must not read
// past a table; release builds answer an index that no table holds.
TEST_F(TbIndexFunctionTest, ImpossibleInputsGiveNoIndex) {
#ifdef NDEBUG
  TbMaterial m = TbMaterialOfRow(TbRowOfName("krk"));
  TbPlacement p{{0, 63}, {20, 0, 0}, 64};
  TbLoadBoard(&board, m, p, 0, false);
  board.pieceLists[WhiteRook].count = 0;
  TbPosition = &board;
  u32 white = 0, black = 1;
  EXPECT_EQ(Index_krk_wtm(&white, &black, TbNoSquare, 0), TbInvalidIndex);
  TbLoadBoard(&board, m, TbPlacement{{0, 9}, {20, 0, 0}, 64}, 0, false);  // kings a1, b2
  EXPECT_EQ(Index_krk_wtm(&white, &black, TbNoSquare, 0), TbInvalidIndex);
#else
  GTEST_SKIP() << "asserts fire in debug builds";
#endif
}

// An en-passant square without a pawn beside to take is no en-passant position.
TEST_F(TbIndexFunctionTest, EnPassantWithoutCapturerIsOrdinary) {
  int row = TbRowOfName("kpkp");
  TbMaterial m = TbMaterialOfRow(row);
  // White king e1, black king e8, white pawn a2, black pawn d5 as if from d7, white to move.
  TbPlacement p{{32, 39}, {1, 28, 0}, 64};
  u32 ordinary = IndexOf(&board, m, p, {row, 0});
  p.ep = 29;  // d6
  EXPECT_EQ(IndexOf(&board, m, p, {row, 0}), ordinary);
  p.man[0] = 20;  // white pawn on c5 can take
  u32 withEp = IndexOf(&board, m, p, {row, 0});
  EXPECT_GE(withEp, 81664u * 47);
  EXPECT_LT(withEp, TablebaseDescriptorTable[row].positions[0]);
}

class TbExhaustiveTest : public TbIndexFunctionTest,
                         public ::testing::WithParamInterface<RowSide> {};

TEST_P(TbExhaustiveTest, EveryLegalPosition) {
  const RowSide rs = GetParam();
  const TbMaterial m = TbMaterialOfRow(rs.row);
  const u32 count = TablebaseDescriptorTable[rs.row].positions[rs.side];
  constexpr u32 Free = 0xFFFFFFFFu;
  std::vector<u32> owner(count, Free);
  u64 positions = 0, classes = 0, distinct = 0, collisions = 0, epPositions = 0;
  u32 maxIndex = 0;
  u32 minEpIndex = Free;
  bool failed = false;
  auto start = std::chrono::steady_clock::now();
  TbForEachPosition(m, rs.side, [&](const TbPlacement& p) {
    if (failed) return;
    u32 index = IndexOf(&board, m, p, rs);
    if (index >= count) {
      ADD_FAILURE() << "index " << index << " beyond " << count << " code " << TbEncode(m, p);
      failed = true;
      return;
    }
    ++positions;
    maxIndex = std::max(maxIndex, index);
    if (p.ep != 64) {
      ++epPositions;
      minEpIndex = std::min(minEpIndex, index);
    }
    u32 key = static_cast<u32>(TbClassKey(m, p));
    if (key == TbEncode(m, p)) ++classes;
    if (owner[index] == Free) {
      owner[index] = key;
      ++distinct;
    } else if (owner[index] != key && ++collisions <= 3) {
      ADD_FAILURE() << "index " << index << " shared by codes " << owner[index] << " and " << key;
    }
    ExpectReversedReachesSameIndex(&board, m, p, rs, index);
    if (::testing::Test::HasFatalFailure()) failed = true;
  });
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf("%s side %d: %llu positions (%llu en passant), %.2f s\n",
              TablebaseDescriptorTable[rs.row].name, rs.side,
              static_cast<unsigned long long>(positions),
              static_cast<unsigned long long>(epPositions), seconds);
  ASSERT_FALSE(failed);
  EXPECT_EQ(collisions, 0u);
  EXPECT_EQ(maxIndex + 1, count);
  // Each class owns exactly one index: none is split over two.
  EXPECT_EQ(distinct, classes);
  if (m.enPassant) {  // kpkp: the en-passant block follows 47 x 81664 ordinary places
    EXPECT_EQ(epPositions, 43786u);
    EXPECT_GE(minEpIndex, 81664u * 47);
  }
}

INSTANTIATE_TEST_SUITE_P(ThreeAndFourMen, TbExhaustiveTest,
                         ::testing::ValuesIn(RowSides(1, 35, {"kpk", "knk", "kbk", "krk", "kqk",
                                                              "kpkp", "kbkn", "kppk", "kbnk"})),
                         RowSideName);

// The kings on the function's last king pair, every legal placement of the other three men:
// the largest index is the last of the table and no two positions share one.
class TbTailTest : public TbIndexFunctionTest, public ::testing::WithParamInterface<RowSide> {};

TEST_P(TbTailTest, LastKingPair) {
  const RowSide rs = GetParam();
  const TbMaterial m = TbMaterialOfRow(rs.row);
  const u32 count = TablebaseDescriptorTable[rs.row].positions[rs.side];
  // Board squares of the kings that normalise to the last pair: d4/h8 without pawns, d8/h8
  // with pawns, d1/h1 where the black-to-move inner pawns are numbered on the flipped board
  // (the en-passant block, which comes last, is numbered without the flip).
  int kingS = 27, kingO = 63;
  if (m.pawns) {
    bool blackPawnInside = rs.side == 1 && m.colour[m.count - 1] == 1 && m.type[m.count - 1] == 0;
    bool flipped = blackPawnInside && !m.enPassant;
    kingS = flipped ? 24 : 31;
    kingO = flipped ? 56 : 63;
  }
  std::vector<std::pair<u32, u64>> seen;
  TbForEachPosition(
      m, rs.side,
      [&](const TbPlacement& p) { seen.push_back({IndexOf(&board, m, p, rs), TbEncode(m, p)}); },
      kingS, kingO);
  ASSERT_FALSE(seen.empty());
  std::sort(seen.begin(), seen.end());
  EXPECT_EQ(seen.back().first + 1, count);
  u64 shared = 0;
  for (size_t i = 1; i < seen.size(); ++i) shared += seen[i].first == seen[i - 1].first;
  EXPECT_EQ(shared, 0u) << seen.size() << " positions";
}

INSTANTIATE_TEST_SUITE_P(FiveMen, TbTailTest,
                         ::testing::ValuesIn(RowSides(36, 110, {"kppkp", "knpkb", "kbbkq",
                                                                "krpkp", "kqrkn", "kqqkp"})),
                         RowSideName);

// Random legal positions of every row: below the count, every image that the table stores
// together on the same index, and the colour-reversed image on the same (row, side, index).
class TbSampleTest : public TbIndexFunctionTest, public ::testing::WithParamInterface<RowSide> {};

TEST_P(TbSampleTest, RandomPositions) {
  const RowSide rs = GetParam();
  const TbMaterial m = TbMaterialOfRow(rs.row);
  const u32 count = TablebaseDescriptorTable[rs.row].positions[rs.side];
  std::mt19937_64 rng(0x7ab1e5eedull + rs.row * 2 + rs.side);
  const int samples = TbFullChecks ? 20000 : 2000;
  for (int n = 0; n < samples; ++n) {
    TbPlacement p = TbRandomPosition(m, rs.side, rng);
    u32 index = IndexOf(&board, m, p, rs);
    ASSERT_LT(index, count) << TbEncode(m, p);
    for (int g = 1; g < 8; ++g) {
      if (!TbSymmetryKeepsIndex(m, p, g)) continue;
      ASSERT_EQ(IndexOf(&board, m, TbTransform(p, g), rs), index) << "symmetry " << g;
    }
    ExpectReversedReachesSameIndex(&board, m, p, rs, index);
  }
}

INSTANTIATE_TEST_SUITE_P(AllRows, TbSampleTest, ::testing::ValuesIn(RowSides(1, 110, {})),
                         RowSideName);

}  // namespace
