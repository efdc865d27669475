// Sizing, probe, store, replacement and mate-score shifts of the transposition table.
#include "search/transposition_table.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

#include "board/fen.h"
#include "search/search_frame.h"

namespace {

constexpr u64 KeyA = 0x123456789abcdef1ull;
constexpr u64 KeyB = KeyA + (u64{1} << 40);  // same bucket as KeyA, other positions
constexpr u64 KeyC = KeyA + (u64{2} << 40);
constexpr u32 MoveE2E4 = 0xc8e1;
constexpr u32 MoveD2D4 = MakeMoveWord(25, 27);

class TranspositionTableTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(TT.resize(TTMinLog2Count)); }
  void TearDown() override { TTAllocate = std::aligned_alloc; }
  static void TearDownTestSuite() { TT.resize(TTStartLog2Count); }
  static const TTEntry& Slot(u64 key, int index) { return TT.bucketOf(key)->slots[index]; }
};

TEST(HashSize, MegabytesToBuckets) {
  struct Case {
    i64 hash;
    unsigned log2;
  } cases[] = {
      {64, 21}, {100, 21}, {1, 15}, {1024, 25}, {4095, 26}, {4097, 15}, {4100, 17},
      // No size by the bare rule: the minimum instead of a wrapped 2^63.
      {0, TTMinLog2Count}, {4096, TTMinLog2Count}, {8192, TTMinLog2Count},
      {-1, TTMinLog2Count}, {-4096, TTMinLog2Count}, {INT64_MIN, TTMinLog2Count},
  };
  for (const Case& c : cases) EXPECT_EQ(HashMegabytesToLog2Count(c.hash), c.log2) << c.hash;
}

TEST_F(TranspositionTableTest, ResizeGivesAZeroedAlignedTableAndResetsAge) {
  TT.store(KeyA, TTExact, MoveE2E4, 10, 64, 0);
  TT.age = 7;
  ASSERT_TRUE(TT.resize(16));
  EXPECT_EQ(TT.bucketCount, u64{1} << 16);
  EXPECT_EQ(TT.mask, (u64{1} << 16) - 1);
  EXPECT_EQ(TT.log2Count, 16u);
  EXPECT_EQ(TT.age, 0u);
  EXPECT_EQ(reinterpret_cast<std::uintptr_t>(TT.table) % 64, 0u);
  EXPECT_FALSE(TT.probe(KeyA, 0, 0, -100, 100).hit);
  // Sizes below the minimum are raised to it.
  ASSERT_TRUE(TT.resize(3));
  EXPECT_EQ(TT.log2Count, TTMinLog2Count);
}

std::size_t RequestedBytes;
void* RefuseAllocation(std::size_t, std::size_t bytes) {
  RequestedBytes = bytes;
  return nullptr;
}

TEST_F(TranspositionTableTest, FailedResizeKeepsTheOldTable) {
  TT.store(KeyA, TTExact, MoveE2E4, 10, 64, 0);
  TT.age = 5;
  TTBucket* before = TT.table;
  TTAllocate = RefuseAllocation;
  testing::internal::CaptureStderr();
  // 63 is what the bare sizing rule gives for Hash 0: it must never mean 2^63 buckets.
  EXPECT_FALSE(TT.resize(63));
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "Not enough memory \r\n!");
  EXPECT_EQ(RequestedBytes, (std::size_t{1} << TTMaxLog2Count) * sizeof(TTBucket));
  EXPECT_EQ(TT.table, before);
  EXPECT_EQ(TT.log2Count, TTMinLog2Count);
  EXPECT_EQ(TT.mask, (u64{1} << TTMinLog2Count) - 1);
  EXPECT_EQ(TT.age, 5u);
  TTProbe probe = TT.probe(KeyA, 64, 0, -100, 100);
  EXPECT_TRUE(probe.cutoff);
  EXPECT_EQ(probe.score, 10);
}

TEST_F(TranspositionTableTest, ClearEmptiesEveryBucket) {
  TT.store(KeyA, TTExact, MoveE2E4, 10, 64, 0);
  TT.age = 9;
  TT.clear();
  EXPECT_EQ(TT.age, 0u);
  EXPECT_EQ(Slot(KeyA, 0).key, 0u);
  EXPECT_FALSE(TT.probe(KeyA, 0, 0, -100, 100).hit);
}

TEST_F(TranspositionTableTest, NullTableIsAMissAndIgnoresStores) {
  TTBucket* table = TT.table;
  TT.table = nullptr;
  TT.store(KeyA, TTExact, MoveE2E4, 10, 64, 0);
  TTProbe probe = TT.probe(KeyA, 0, 0, -100, 100);
  TT.table = table;
  EXPECT_FALSE(probe.hit);
  EXPECT_FALSE(probe.cutoff);
  EXPECT_EQ(Slot(KeyA, 0).key, 0u);
}

TEST_F(TranspositionTableTest, BoundsCutOrNarrowTheWindow) {
  struct Case {
    const char* name;
    u32 bound;
    i32 score;
    i32 storedDepth64, probeDepth64;
    bool cutoff;
    i32 alpha, beta;  // window after the probe when there is no cut-off
  } cases[] = {
      {"lower at beta cuts", TTLower, 50, 128, 128, true, 0, 0},
      {"lower inside raises alpha to score - 1", TTLower, 20, 128, 64, false, 19, 50},
      {"lower below alpha changes nothing", TTLower, -30, 128, 64, false, -10, 50},
      {"exact cuts", TTExact, 20, 128, 128, true, 0, 0},
      {"final cuts", TTFinal, 20, 128, 128, true, 0, 0},
      {"upper at alpha cuts", TTUpper, -10, 128, 128, true, 0, 0},
      {"upper inside lowers beta to score + 1", TTUpper, 20, 128, 64, false, -10, 21},
      {"upper above beta changes nothing", TTUpper, 80, 128, 64, false, -10, 50},
      {"too shallow gives only the move", TTExact, 20, 128, 129, false, -10, 50},
      {"quiescence depth -1 suits depth -64", TTExact, 20, -1, -64, true, 0, 0},
  };
  for (const Case& c : cases) {
    TT.clear();
    TT.store(KeyA, c.bound, MoveE2E4, c.score, c.storedDepth64, 0);
    TTProbe probe = TT.probe(KeyA, c.probeDepth64, 0, -10, 50);
    EXPECT_EQ(probe.hit, TT.bucketOf(KeyA)) << c.name;
    EXPECT_EQ(probe.moves[0], MoveE2E4) << c.name;
    EXPECT_EQ(probe.moves[1], 0u) << c.name;
    EXPECT_EQ(probe.cutoff, c.cutoff) << c.name;
    if (c.cutoff) {
      EXPECT_EQ(probe.score, c.score) << c.name;
    } else {
      EXPECT_EQ(probe.alpha, c.alpha) << c.name;
      EXPECT_EQ(probe.beta, c.beta) << c.name;
    }
  }
}

TEST_F(TranspositionTableTest, SlotOneIsReadAfterSlotZero) {
  // Only slot 1 matches: its move is TT move 1.
  TT.store(KeyB, TTExact, MoveD2D4, 5, 640, 0);
  TT.store(KeyA, TTExact, MoveE2E4, 30, 128, 0);
  ASSERT_EQ(Slot(KeyA, 1).key, KeyA);
  TTProbe probe = TT.probe(KeyA, 64, 0, -100, 100);
  EXPECT_EQ(probe.moves[0], 0u);
  EXPECT_EQ(probe.moves[1], MoveE2E4);
  EXPECT_TRUE(probe.cutoff);
  EXPECT_EQ(probe.score, 30);

  // Both slots hold the key: slot 0's bound narrows the window, then slot 1 may decide.
  TT.clear();
  TT.store(KeyA, TTLower, MoveE2E4, 20, 640, 0);
  TT.store(KeyA, TTExact, MoveD2D4, 40, 128, 0);
  probe = TT.probe(KeyA, 192, 0, -100, 100);
  EXPECT_EQ(probe.moves[0], MoveE2E4);
  EXPECT_EQ(probe.moves[1], MoveD2D4);
  EXPECT_FALSE(probe.cutoff);
  EXPECT_EQ(probe.alpha, 19);
  probe = TT.probe(KeyA, 128, 0, -100, 100);
  EXPECT_TRUE(probe.cutoff);
  EXPECT_EQ(probe.score, 40);

  // Neither slot matches: a miss.
  probe = TT.probe(KeyA + 1, 0, 0, -100, 100);
  EXPECT_EQ(probe.hit, nullptr);
}

TEST_F(TranspositionTableTest, ReplacementRules) {
  // Deeper results take slot 0 and push the old one to slot 1.
  TT.store(KeyA, TTExact, MoveE2E4, 10, 256, 0);
  TT.store(KeyB, TTExact, MoveD2D4, 20, 320, 0);
  EXPECT_EQ(Slot(KeyA, 0).key, KeyB);
  EXPECT_EQ(Slot(KeyA, 1).key, KeyA);
  // Not deeper (equal): slot 1, overwritten whatever it holds.
  TT.store(KeyC, TTUpper, 0, 30, 320, 0);
  EXPECT_EQ(Slot(KeyA, 0).key, KeyB);
  EXPECT_EQ(Slot(KeyA, 1).key, KeyC);
  EXPECT_EQ(Slot(KeyA, 1).move, 0u);

  // A draw score of -1 is never stored.
  TT.clear();
  TT.store(KeyA, TTExact, MoveE2E4, -1, 640, 0);
  EXPECT_EQ(Slot(KeyA, 0).key, 0u);

  // An empty move keeps the old move of the same key; over another key it is written.
  TT.store(KeyA, TTExact, MoveE2E4, 10, 256, 0);
  TT.store(KeyA, TTLower, 0, 15, 512, 0);
  EXPECT_EQ(Slot(KeyA, 0).move, MoveE2E4);
  EXPECT_EQ(Slot(KeyA, 0).score, 15);
  TT.store(KeyB, TTLower, 0, 15, 1024, 0);
  EXPECT_EQ(Slot(KeyB, 0).key, KeyB);
  EXPECT_EQ(Slot(KeyB, 0).move, 0u);
}

TEST_F(TranspositionTableTest, StaleSlotZeroIsReplacedByAnyDepth) {
  struct Case {
    u32 ageDifference;
    bool replaced;
  } cases[] = {{1, false}, {3, false}, {4, true}, {5, true}, {7, true}, {8, false}, {12, true},
               {40, false}};
  for (const Case& c : cases) {
    TT.clear();
    TT.age = 60;
    TT.store(KeyA, TTExact, MoveE2E4, 10, 640, 0);
    for (u32 i = 0; i < c.ageDifference; ++i) TT.advanceAge();
    TT.store(KeyB, TTExact, MoveD2D4, 20, 64, 0);
    EXPECT_EQ(Slot(KeyA, 0).key, c.replaced ? KeyB : KeyA) << c.ageDifference;
    EXPECT_EQ(Slot(KeyA, 0).boundAge >> 3, (c.replaced ? TT.age : 60u) & 31) << c.ageDifference;
  }
}

TEST_F(TranspositionTableTest, MateScoresShiftByPly) {
  struct Case {
    i32 score, storePly, probePly, expected;
  } cases[] = {
      {29995, 3, 5, 29993}, {-29995, 3, 5, -29993}, {29600, 0, 4, 29596},
      {-29600, 4, 0, -29604}, {29599, 3, 9, 29599}, {-29599, 3, 9, -29599},
      {29998, 10, 2, 30006}, {0, 7, 1, 0},
  };
  for (const Case& c : cases) {
    TT.clear();
    TT.store(KeyA, TTExact, MoveE2E4, c.score, 64, c.storePly);
    TTProbe probe = TT.probe(KeyA, 0, c.probePly, -32000, 32000);
    EXPECT_EQ(probe.score, c.expected) << c.score << " at " << c.storePly;
  }
}

TEST_F(TranspositionTableTest, DepthIsKeptInWholePliesAndSaturates) {
  struct Case {
    i32 depth64;
    i8 stored;
  } cases[] = {{3840, 60}, {64, 1}, {63, 0}, {0, 0}, {-1, -1}, {-64, -1}, {-65, -2},
               {100000, 127}, {-100000, -128}};
  for (const Case& c : cases) {
    TT.clear();
    TT.store(KeyA, TTFinal, 0, 5, c.depth64, 0);
    EXPECT_EQ(Slot(KeyA, 0).depth, c.stored) << c.depth64;
    EXPECT_EQ(TTBoundOf(Slot(KeyA, 0)), TTFinal);
  }
  // Scores far outside the mate band saturate instead of changing sign.
  TT.store(KeyA, TTExact, 0, 40000, 64, 0);
  EXPECT_EQ(Slot(KeyA, 0).score, INT16_MAX);
}

TEST_F(TranspositionTableTest, FrameProbeSetsMovesHitAndCounters) {
  auto frame = std::make_unique<SearchFrame>();
  Board board;
  ASSERT_TRUE(SetFen(&board, StartFen));
  frame->board = &board;
  frame->ply = 4;
  frame->ttMoves[0] = frame->ttMoves[1] = 77;
  i32 alpha = -50, beta = 50, score = 0;
  EXPECT_FALSE(ProbeTranspositionTable(frame.get(), 128, &alpha, &beta, &score));
  EXPECT_EQ(frame->stats.ttMisses, 1u);
  EXPECT_EQ(frame->hit, nullptr);
  EXPECT_EQ(frame->ttMoves[0], 0u);
  EXPECT_EQ(frame->ttMoves[1], 0u);

  TT.store(&board, TTUpper, MoveE2E4, 20, 128, 4);
  EXPECT_FALSE(ProbeTranspositionTable(frame.get(), 128, &alpha, &beta, &score));
  EXPECT_EQ(frame->stats.ttHits, 1u);
  EXPECT_EQ(frame->hit, TT.bucketOf(board.key));
  EXPECT_EQ(frame->ttMoves[0], MoveE2E4);
  EXPECT_EQ(alpha, -50);
  EXPECT_EQ(beta, 21);

  TT.store(&board, TTExact, MoveE2E4, 29990, 256, 2);  // a mate found two plies nearer the root
  EXPECT_TRUE(ProbeTranspositionTable(frame.get(), 128, &alpha, &beta, &score));
  EXPECT_EQ(score, 29988);
  EXPECT_EQ(frame->stats.ttHits, 2u);
}

}  // namespace
