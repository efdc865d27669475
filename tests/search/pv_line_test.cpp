// Keeping the MultiPV list sorted as root moves are entered.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "search/pv_line.h"

namespace {

PVLine Child(std::initializer_list<u32> moves, u8 flag = 0) {
  PVLine line{};
  for (u32 move : moves) line.moves[line.length++] = move;
  line.flag = flag;
  return line;
}

std::vector<u32> RootMoves(const MultiPvList& list) {
  std::vector<u32> roots;
  for (u32 i = 0; i < list.count; ++i) roots.push_back(list.entries[i].moves[0]);
  return roots;
}

TEST(MultiPvList, EntersLinesInScoreOrder) {
  auto list = std::make_unique<MultiPvList>();
  ClearMultiPvList(list.get());
  PVLine child = Child({100, 101}, 1);
  EXPECT_EQ(list->update(1, &child, 50), 0);
  EXPECT_EQ(list->update(2, &child, 80), 0);
  EXPECT_EQ(list->update(3, &child, 60), 1);
  EXPECT_EQ(list->update(4, &child, 60), 2);  // equal scores: the earlier entry stays in front
  EXPECT_EQ(RootMoves(*list), (std::vector<u32>{2, 3, 4, 1}));
  const PVLine& best = list->entries[0];
  EXPECT_EQ(best.length, 3);
  EXPECT_EQ(best.moves[1], 100u);
  EXPECT_EQ(best.moves[2], 101u);
  EXPECT_EQ(best.flag, 1);
  EXPECT_EQ(best.score, 80);
}

TEST(MultiPvList, AFullListTakesOnlyABetterLine) {
  auto list = std::make_unique<MultiPvList>();
  ClearMultiPvList(list.get());
  PVLine child = Child({7});
  for (u32 i = 0; i < MultiPvCapacity; ++i) list->update(i + 1, &child, 100 - static_cast<i32>(i));
  ASSERT_EQ(list->count, 20u);
  EXPECT_EQ(list->entries[19].score, 81);
  EXPECT_EQ(list->update(50, &child, 81), MultiPvListFull);
  EXPECT_EQ(list->update(51, &child, 90), 11);  // behind the 90 already there
  EXPECT_EQ(list->count, 20u);
  EXPECT_EQ(list->entries[19].moves[0], 19u);  // entry 20 (score 81) was replaced
  EXPECT_EQ(list->entries[11].moves[0], 51u);
}

TEST(MultiPvList, ALineHoldsAtMostSixtyMoves) {
  auto list = std::make_unique<MultiPvList>();
  ClearMultiPvList(list.get());
  PVLine child{};
  for (i32 i = 0; i < PVMaxLength; ++i) child.moves[child.length++] = 1000 + i;
  list->update(1, &child, 0);
  EXPECT_EQ(list->entries[0].length, PVMaxLength);
  EXPECT_EQ(list->entries[0].moves[59], 1058u);
}

TEST(MultiPvList, AnUpdatedRootMoveTakesItsNewScoreAndPlace) {
  auto list = std::make_unique<MultiPvList>();
  ClearMultiPvList(list.get());
  PVLine child = Child({5});
  list->update(1, &child, 30);
  list->update(2, &child, 20);
  list->update(3, &child, 10);
  PVLine newer = Child({6, 7});
  EXPECT_EQ(list->update(3, &newer, 40), 0);
  EXPECT_EQ(list->update(1, &child, 0), 2);
  EXPECT_EQ(RootMoves(*list), (std::vector<u32>{3, 2, 1}));
  EXPECT_EQ(list->count, 3u);
  EXPECT_EQ(list->entries[0].length, 3);
}

}  // namespace
