// The fixture generator: solved three-man values against known mates, a re-check of every
// solved value from its successors, and the files it writes for the registration and probe
// tests.
#include "tb_fixtures.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <random>

#include "board/attack_map.h"
#include "board/fen.h"
#include "board/make_move.h"
#include "board/movegen.h"
#include "tablebase/descriptors.h"

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool TbFullFixtureChecks = false;
#else
constexpr bool TbFullFixtureChecks = true;
#endif

namespace {

class TbFixtureTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { TbEnterAllRowsInTree(); }

  // The solved value of a position given as FEN, through the probe's lookup.
  i8 ValueOf(const char* fen) {
    EXPECT_TRUE(SetFen(&board, fen)) << fen;
    TbLookup lookup{};
    if (!TbLookupBoard(&board, &lookup)) return 0;
    return TbSolvedValues(lookup.row, lookup.side)[lookup.index];
  }

  Board board;
};

// The longest mate with white to move, in moves.
int LongestMate(int row) {
  int longest = 0;
  for (i8 v : TbSolvedValues(row, 0))
    if (v > 0) longest = std::max(longest, 127 - v);
  return longest;
}

TEST_F(TbFixtureTest, LongestMatesOfQueenAndRook) {
  EXPECT_EQ(LongestMate(TbRowOfName("kqk")), 10);
  EXPECT_EQ(LongestMate(TbRowOfName("krk")), 16);
  std::printf("longest kpk win with white to move: %d moves\n", LongestMate(TbRowOfName("kpk")));
}

TEST_F(TbFixtureTest, MinorPiecesAloneDraw) {
  for (const char* name : {"knk", "kbk"}) {
    for (int side = 0; side < 2; ++side) {
      const std::vector<i8>& values = TbSolvedValues(TbRowOfName(name), side);
      EXPECT_EQ(std::count(values.begin(), values.end(), 0), static_cast<long>(values.size()))
          << name;
    }
  }
}

TEST_F(TbFixtureTest, KnownPositions) {
  struct Case {
    const char* fen;
    int value;
  };
  const Case cases[] = {
      {"6Qk/5K2/8/8/8/8/8/8 b - - 0 1", -126},  // mated
      {"7k/5K2/6Q1/8/8/8/8/8 b - - 0 1", 0},    // stalemate
      {"7k/5K2/8/8/8/8/8/6Q1 w - - 0 1", 126},  // mate in one
      {"8/8/8/8/8/8/5k2/6qK w - - 0 1", -126},  // colours exchanged: White is mated
      {"R6k/8/7K/8/8/8/8/8 b - - 0 1", -126},
      {"k7/8/K7/P7/8/8/8/8 w - - 0 1", 0},      // rook pawn, king in the corner
      {"k7/8/K7/P7/8/8/8/8 b - - 0 1", 0},
      {"4k3/4P3/4K3/8/8/8/8/8 b - - 0 1", 0},   // stalemate
      {"8/8/8/8/8/8/p7/k1K5 w - - 0 1", 0},      // black rook pawn, white king in front
  };
  for (const Case& c : cases) EXPECT_EQ(ValueOf(c.fen), c.value) << c.fen;
  // A pawn about to queen with the king beside it wins for the side to move.
  EXPECT_GT(ValueOf("7k/4P3/4K3/8/8/8/8/8 w - - 0 1"), 0);
  EXPECT_GT(ValueOf("8/8/8/8/8/4k3/4p3/7K b - - 0 1"), 0) << "colours exchanged";
}

// Every solved value follows from the values of its successors by the encoding's rules.
TEST_F(TbFixtureTest, EveryValueAgreesWithItsSuccessors) {
  std::mt19937_64 rng(12347);
  for (int row = 1; row <= 5; ++row) {
    const TbMaterial m = TbMaterialOfRow(row);
    for (int side = 0; side < 2; ++side) {
      long checked = 0;
      TbForEachPosition(m, side, [&](const TbPlacement& p) {
        if (!TbFullFixtureChecks && rng() % 16 != 0) return;
        if (::testing::Test::HasFailure()) return;
        std::string fen = TbPlacementFen(m, p, side, (rng() & 1) != 0);
        ASSERT_TRUE(SetFen(&board, fen.c_str())) << fen;
        TbLookup at{};
        ASSERT_TRUE(TbLookupBoard(&board, &at));
        const int stored = TbSolvedValues(at.row, at.side)[at.index];
        MoveList list;
        list.count = 0;
        GenerateLegalMoves(&board, &list);
        int expected;
        if (list.count == 0) {
          expected = InCheck(&board) ? -126 : 0;
        } else {
          int bestWin = 1000;  // fewest moves to mate
          int longestLoss = -1;
          bool draw = false;
          const Board saved = board;
          for (int i = 0; i < list.count; ++i) {
            u32 move = list.moves[i];
            MakeMove(&board, board.squares[MoveFrom(move)], move);
            TbLookup next{};
            int v = TbLookupBoard(&board, &next)
                        ? TbSolvedValues(next.row, next.side)[next.index]
                        : 0;
            board = saved;
            if (v == 0) draw = true;
            if (v < 0) bestWin = std::min(bestWin, v + 126 + 1);
            if (v > 0) longestLoss = std::max(longestLoss, 127 - v);
          }
          expected = bestWin < 1000 ? 127 - bestWin : draw ? 0 : longestLoss - 126;
        }
        ASSERT_EQ(stored, expected) << fen;
        ++checked;
      });
      EXPECT_GT(checked, 0);
    }
  }
}

TEST_F(TbFixtureTest, WritesSolvedFilesOfTheExactLength) {
  std::string dir = TbMakeTempDir("solved");
  for (int row = 1; row <= 5; ++row) {
    ASSERT_TRUE(TbWriteSolvedFiles(dir, row));
    for (int side = 0; side < 2; ++side) {
      std::string path = TbFixturePath(dir, row, side);
      ASSERT_EQ(std::filesystem::file_size(path), TablebaseDescriptorTable[row].positions[side]);
      FILE* file = std::fopen(path.c_str(), "rb");
      ASSERT_NE(file, nullptr);
      std::vector<i8> bytes(TablebaseDescriptorTable[row].positions[side]);
      ASSERT_EQ(std::fread(bytes.data(), 1, bytes.size(), file), bytes.size());
      std::fclose(file);
      EXPECT_EQ(bytes, TbSolvedValues(row, side));
    }
  }
  EXPECT_TRUE(std::filesystem::exists(dir + "/kqk.nbb"));
  TbRemoveDir(dir);
}

// Class-value files hold, at the index of any legal position, the value of its class; the
// colour-reversed board expects the same byte. kpkp has equal material, so both boards take
// the swapped path and read the other side's file.
TEST_F(TbFixtureTest, ClassValueFilesMatchTheirPositions) {
  std::string dir = TbMakeTempDir("class");
  for (const char* name : {"kpkp", "kbkp"}) {
    const int row = TbRowOfName(name);
    const TbMaterial m = TbMaterialOfRow(row);
    std::vector<i8> bytes[2];
    for (int side = 0; side < 2; ++side) {
      ASSERT_TRUE(TbWriteClassValueFile(dir, row, side));
      std::string path = TbFixturePath(dir, row, side);
      bytes[side].resize(TablebaseDescriptorTable[row].positions[side]);
      ASSERT_EQ(std::filesystem::file_size(path), bytes[side].size());
      FILE* file = std::fopen(path.c_str(), "rb");
      ASSERT_NE(file, nullptr);
      ASSERT_EQ(std::fread(bytes[side].data(), 1, bytes[side].size(), file), bytes[side].size());
      std::fclose(file);
    }
    std::mt19937_64 rng(99 + row);
    for (int n = 0; n < 4000; ++n) {
      int side = n & 1;
      TbPlacement p = TbRandomPosition(m, side, rng);
      for (bool reversed : {false, true}) {
        std::string fen = TbPlacementFen(m, p, side, reversed);
        ASSERT_TRUE(SetFen(&board, fen.c_str())) << fen;
        int expectRow = 0, expectSide = 0;
        i8 expected = 0;
        ASSERT_TRUE(TbExpectedClassValue(&board, &expectRow, &expectSide, &expected));
        TbLookup lookup{};
        ASSERT_TRUE(TbLookupBoard(&board, &lookup));
        ASSERT_EQ(lookup.row, expectRow);
        ASSERT_EQ(lookup.side, expectSide);
        EXPECT_EQ(bytes[lookup.side][lookup.index], expected) << fen;
        if (!reversed && name[1] != name[3]) {
          EXPECT_EQ(expected, TbClassValue(row, side, p));
        }
      }
    }
  }
  TbRemoveDir(dir);
}

TEST_F(TbFixtureTest, SparseFilesHaveTheRequestedLength) {
  std::string dir = TbMakeTempDir("sparse");
  const int row = TbRowOfName("kqqkq");
  const u32 count = TablebaseDescriptorTable[row].positions[1];
  ASSERT_TRUE(TbWriteSparseFile(dir, row, 1, 0, {{0, 5}, {count - 1, -7}}));
  std::string path = TbFixturePath(dir, row, 1);
  EXPECT_EQ(std::filesystem::file_size(path), count);
  FILE* file = std::fopen(path.c_str(), "rb");
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(std::fgetc(file), 5);
  std::fseek(file, static_cast<long>(count) - 1, SEEK_SET);
  EXPECT_EQ(static_cast<i8>(std::fgetc(file)), -7);
  std::fclose(file);
  for (long long delta : {1LL, -1LL}) {
    ASSERT_TRUE(TbWriteSparseFile(dir, row, 0, delta));
    EXPECT_EQ(static_cast<long long>(std::filesystem::file_size(TbFixturePath(dir, row, 0))),
              TablebaseDescriptorTable[row].positions[0] + delta);
  }
  TbRemoveDir(dir);
}

}  // namespace
