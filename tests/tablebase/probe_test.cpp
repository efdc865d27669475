// The probe: value bytes to scores, when the search probes, and lookups of real positions
// (colour exchange, en passant, the fixed kppkp results, indexes past a table's end) against
// files whose every index holds a known value.
#include <gtest/gtest.h>

#include <memory>
#include <random>

#include "board/fen.h"
#include "tablebase/block_cache.h"
#include "tablebase/descriptors.h"
#include "tablebase/index_tables.h"
#include "tablebase/probe.h"
#include "tablebase/registration.h"
#include "tablebase/tb_file_support.h"
#include "tb_fixtures.h"
#include "tb_positions.h"

namespace {

TEST(TablebaseScores, ValueBytesToScores) {
  struct Case {
    i32 value, ply;
    bool found;
    i32 score;
  };
  const Case cases[] = {
      {0, 3, true, 0},        {1, 3, true, 29746},     {126, 3, true, 29996},
      {126, 10, true, 29989}, {127, 3, false, 0},      {-1, 3, true, -29747},
      {-126, 3, true, -29997}, {-127, 3, true, -29745}, {-128, 3, true, 29743},
  };
  for (const Case& c : cases) {
    i32 score = 0;
    EXPECT_EQ(TableValueToScore(c.value, c.ply, &score), c.found) << c.value;
    if (c.found) {
      EXPECT_EQ(score, c.score) << c.value << " at ply " << c.ply;
    }
  }
}

TEST(TablebaseProbe, WhenTheSearchProbes) {
  Board kqk, kqkr;
  ASSERT_TRUE(SetFen(&kqk, "8/8/8/3k4/8/8/8/Q3K3 w - - 0 1"));
  ASSERT_TRUE(SetFen(&kqkr, "8/8/8/3k4/8/2r5/8/Q3K3 w - - 0 1"));
  struct Case {
    const char* name;
    const Board* board;
    bool use;
    i32 ply, depth64;
    bool capture;
    bool wanted;
  };
  const Case cases[] = {
      {"ply 1 always", &kqk, true, 1, 0, false, true},
      {"switched off", &kqk, false, 1, 640, true, false},
      {"quiet move at ply 2, deep", &kqk, true, 2, 1280, false, false},
      {"capture at ply 2, deep enough", &kqk, true, 2, 192, true, true},
      {"capture at ply 3, too shallow", &kqk, true, 3, 191, true, false},
      {"too many men", &kqkr, true, 1, 640, true, false},
  };
  const int saved = TablebaseMaxMen;
  TablebaseMaxMen = 3;
  for (const Case& c : cases)
    EXPECT_EQ(TablebaseProbeWanted(c.board, c.use, c.ply, c.depth64, 192, c.capture), c.wanted)
        << c.name;
  TablebaseMaxMen = saved;
}

TEST(TablebaseProbe, EnPassantSquareOnlyWithACapturer) {
  struct Case {
    const char* fen;
    u32 forcedEp;  // set on the board after reading the FEN (64: keep)
    u32 expected;  // board square, 64 = none
  };
  const u32 d6 = MakeSquare(3, 5), d3 = MakeSquare(3, 2), a6 = MakeSquare(0, 5),
            h6 = MakeSquare(7, 5), h3 = MakeSquare(7, 2);
  const Case cases[] = {
      {"4k3/8/8/3pP3/8/8/8/4K3 w - d6 0 1", d6, d6},  // pawn to the right of the capturer
      {"4k3/8/8/2Pp4/8/8/8/4K3 w - d6 0 1", d6, d6},  // and to its left
      {"4k3/8/8/3p2P1/8/8/8/4K3 w - - 0 1", d6, 64},  // no pawn beside
      {"4k3/8/8/8/3Pp3/8/8/4K3 b - d3 0 1", d3, d3},
      {"4k3/8/8/8/3P4/8/4p3/4K3 b - - 0 1", d3, 64},
      {"4k3/8/8/pP6/8/8/8/4K3 w - a6 0 1", a6, a6},   // a-file: only a right neighbour
      {"4k3/8/8/P6p/8/8/8/4K3 w - - 0 1", h6, 64},    // h-file: no wrap to the a-file
      {"4k3/8/8/8/p6P/8/8/4K3 b - - 0 1", h3, 64},
      {"4k3/8/8/4P3/8/8/8/4K3 w - - 0 1", d6, 64},    // no pawn made the double step
      {"4k3/8/8/3pP3/8/8/8/4K3 w - - 0 1", 64, 64},
  };
  for (const Case& c : cases) {
    Board board;
    ASSERT_TRUE(SetFen(&board, c.fen)) << c.fen;
    if (c.forcedEp != 64) board.epSquare = c.forcedEp;
    EXPECT_EQ(TablebaseEnPassantSquare(&board), c.expected == 64 ? TbNoSquare : TbSquareMap[c.expected])
        << c.fen;
  }
}

// One directory of pattern tables for the suite: every index of a row side holds
// PatternValue(index, SeedOf(row, side)).
class TablebaseProbeFiles : public ::testing::Test {
 protected:
  static u32 SeedOf(int row, int side) { return static_cast<u32>(row * 2 + side + 1); }

  static void SetUpTestSuite() {
    directory = new ScratchDirectory;
    for (const char* name : {"kpk", "kqk", "krk", "kpkp"}) {
      const int row = TbRowOfName(name);
      for (int side = 0; side < 2; ++side)
        ASSERT_TRUE(WritePatternTable(*directory / PatternTableName(name, side),
                                      TablebaseDescriptorTable[row].positions[side],
                                      SeedOf(row, side)));
    }
    ASSERT_TRUE(WriteSparseFile(*directory / "kppkp.nbb", TablebaseDescriptorTable[36].positions[1]));
  }
  static void TearDownTestSuite() {
    InitTablebases("/nonexistent");
    SetTablebaseCacheSize(0);
    delete directory;
  }
  void SetUp() override {
    TablebaseMaxMen = InitTablebases(directory->path);
    ASSERT_EQ(TablebaseMaxMen, 5);
    SetTablebaseCacheSize(4);
  }

  // What the files hold for the position, found by the tests' own lookup.
  static bool Expected(const Board* board, i32 ply, i32* score, TbLookup* lookup) {
    if (!TbLookupBoard(board, lookup)) return false;
    return TableValueToScore(PatternValue(lookup->index, SeedOf(lookup->row, lookup->side)), ply,
                             score);
  }

  static ScratchDirectory* directory;
};
ScratchDirectory* TablebaseProbeFiles::directory = nullptr;

TEST_F(TablebaseProbeFiles, RandomPositionsAndTheirColourImages) {
  std::mt19937_64 random(7);
  int enPassant = 0;
  for (const char* name : {"kpk", "kqk", "krk", "kpkp"}) {
    const int row = TbRowOfName(name);
    const TbMaterial material = TbMaterialOfRow(row);
    for (int side = 0; side < 2; ++side) {
      for (int n = 0; n < 400; ++n) {
        const TbPlacement p = TbRandomPosition(material, side, random);
        for (bool reversed : {false, true}) {
          const std::string fen = TbPlacementFen(material, p, side, reversed);
          Board board;
          ASSERT_TRUE(SetFen(&board, fen.c_str())) << fen;
          i32 expected = 0, score = 1;
          TbLookup lookup{};
          ASSERT_TRUE(Expected(&board, 5, &expected, &lookup)) << fen;
          // The colour image reads the same table side as the position itself; with the same
          // men on both sides the probe always takes the colour-exchanged way.
          const int tableSide =
              row == TbRowOfName("kpkp") ? static_cast<int>(SideToMove(&board) ^ 1) : side;
          EXPECT_EQ(lookup.row, row) << fen;
          EXPECT_EQ(lookup.side, tableSide) << fen;
          ASSERT_TRUE(ProbeTablebaseScore(&board, 5, &score)) << fen;
          EXPECT_EQ(score, expected) << fen;
          enPassant += TablebaseEnPassantSquare(&board) != TbNoSquare;
        }
      }
    }
  }
  EXPECT_GT(enPassant, 50);
}

TEST_F(TablebaseProbeFiles, BlackQueenReadsTheSwappedTable) {
  Board board, image;
  ASSERT_TRUE(SetFen(&board, "k7/8/8/8/8/8/8/q3K3 w - - 0 1"));
  ASSERT_TRUE(SetFen(&image, "Q3k3/8/8/8/8/8/8/K7 b - - 0 1"));
  u32 counts[TbTreeLevels];
  TbMaterialCounts(&board, counts);
  EXPECT_EQ(LookupPieceCountTree(counts), -TbRowOfName("kqk"));
  TbLookup lookup{}, imageLookup{};
  ASSERT_TRUE(TbLookupBoard(&board, &lookup));
  ASSERT_TRUE(TbLookupBoard(&image, &imageLookup));
  EXPECT_EQ(lookup.side, 1);  // white to move on the board: the table's black to move
  EXPECT_EQ(lookup.index, imageLookup.index);
  i32 score = 0, imageScore = 1;
  ASSERT_TRUE(ProbeTablebaseScore(&board, 2, &score));
  ASSERT_TRUE(ProbeTablebaseScore(&image, 2, &imageScore));
  EXPECT_EQ(score, imageScore);
  EXPECT_TRUE(TableValueToScore(PatternValue(lookup.index, SeedOf(TbRowOfName("kqk"), 1)), 2,
                                &imageScore));
  EXPECT_EQ(score, imageScore);
}

TEST_F(TablebaseProbeFiles, EnPassantPositionsReadTheirOwnIndexes) {
  // Black has just played d7-d5 beside the white pawn on e5.
  Board withEp, withoutEp;
  ASSERT_TRUE(SetFen(&withEp, "4k3/8/8/3pP3/8/8/8/4K3 w - d6 0 1"));
  ASSERT_TRUE(SetFen(&withoutEp, "4k3/8/8/3pP3/8/8/8/4K3 w - - 0 1"));
  ASSERT_EQ(withEp.epSquare, MakeSquare(3, 5));
  TbLookup a{}, b{};
  i32 expectedA = 0, expectedB = 0, score = 0;
  ASSERT_TRUE(Expected(&withEp, 1, &expectedA, &a));
  ASSERT_TRUE(Expected(&withoutEp, 1, &expectedB, &b));
  EXPECT_NE(a.index, b.index);
  ASSERT_TRUE(ProbeTablebaseScore(&withEp, 1, &score));
  EXPECT_EQ(score, expectedA);
  ASSERT_TRUE(ProbeTablebaseScore(&withoutEp, 1, &score));
  EXPECT_EQ(score, expectedB);
  // With the square set but no capturer, the position is the ordinary one.
  Board stale;
  ASSERT_TRUE(SetFen(&stale, "4k3/8/8/3p2P1/8/8/8/4K3 w - - 0 1"));
  Board staleWithEp = stale;
  staleWithEp.epSquare = MakeSquare(3, 5);
  i32 staleScore = 0;
  ASSERT_TRUE(ProbeTablebaseScore(&stale, 1, &staleScore));
  ASSERT_TRUE(ProbeTablebaseScore(&staleWithEp, 1, &score));
  EXPECT_EQ(score, staleScore);
}

TEST_F(TablebaseProbeFiles, SevenFixedKppkpResults) {
  // Each at its fixed index of kppkp, black to move; the file holds only draws.
  const char* fixed[] = {
      "8/1p6/8/8/4P3/k1K1P3/8/8 b - - 0 1", "8/8/1p6/8/4P3/k1K1P3/8/8 b - - 0 1",
      "8/1p6/8/8/4P3/k2KP3/8/8 b - - 0 1",  "8/8/1p6/8/4P3/k2KP3/8/8 b - - 0 1",
      "8/8/8/1p6/4P3/1k1KP3/8/8 b - - 0 1", "8/8/8/1p6/4P3/2K1P3/k7/8 b - - 0 1",
      "8/8/8/1p6/4P3/4P3/1k6/3K4 b - - 0 1",
      // the colour image of the first: the table's black to move with White on the move
      "8/8/K1k1p3/4p3/8/8/1P6/8 w - - 0 1",
  };
  for (const char* fen : fixed) {
    Board board;
    ASSERT_TRUE(SetFen(&board, fen)) << fen;
    TbLookup lookup{};
    ASSERT_TRUE(TbLookupBoard(&board, &lookup));
    EXPECT_EQ(lookup.row, 36);
    EXPECT_EQ(lookup.side, 1);
    i32 score = 0;
    ASSERT_TRUE(ProbeTablebaseScore(&board, 4, &score)) << fen;
    EXPECT_EQ(score, 4 - 29746) << fen;
  }
  Board other;
  ASSERT_TRUE(SetFen(&other, "8/1p6/8/k7/4P3/2K1P3/8/8 b - - 0 1"));
  i32 score = 1;
  ASSERT_TRUE(ProbeTablebaseScore(&other, 4, &score));
  EXPECT_EQ(score, 0);
}

TEST_F(TablebaseProbeFiles, IndexPastTheTableGivesNoResult) {
  // Positions no game reaches (Black in check with White to move) can number past the end of
  // the krk white-to-move table; the probe must not read what lies there.
  const int row = TbRowOfName("krk");
  const TbMaterial material = TbMaterialOfRow(row);
  int beyond = 0;
  for (u32 k = 0; k < 64 && beyond < 3; ++k) {
    for (u32 r = 0; r < 64 && beyond < 3; ++r) {
      for (u32 o = 0; o < 64 && beyond < 3; ++o) {
        if (k == r || r == o || k == o) continue;
        TbPlacement p{};
        p.king[0] = static_cast<u8>(k);
        p.king[1] = static_cast<u8>(o);
        p.man[0] = static_cast<u8>(r);
        p.ep = 64;
        Board board;
        TbLoadBoard(&board, material, p, 0, false);
        TbLookup lookup{};
        if (!TbLookupBoard(&board, &lookup) ||
            lookup.index < TablebaseDescriptorTable[row].positions[0])
          continue;
        ++beyond;
        const u64 reads = TbBlockReadCount;
        i32 score = 0;
        EXPECT_FALSE(ProbeTablebaseScore(&board, 1, &score)) << lookup.index;
        EXPECT_EQ(TbBlockReadCount, reads);
      }
    }
  }
  EXPECT_EQ(beyond, 3);
}

TEST_F(TablebaseProbeFiles, NoCacheNoProbe) {
  Board board;
  ASSERT_TRUE(SetFen(&board, "8/8/8/3k4/8/8/8/Q3K3 w - - 0 1"));
  i32 score = 0;
  EXPECT_TRUE(ProbeTablebaseScore(&board, 1, &score));
  SetTablebaseCacheSize(0);
  EXPECT_EQ(TbCacheEntryCount, 0u);
  EXPECT_FALSE(ProbeTablebaseScore(&board, 1, &score));
}

}  // namespace
