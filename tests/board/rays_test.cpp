// Node order of the ray lists (it fixes the generation order) and the move-list pick.
#include <gtest/gtest.h>

#include <algorithm>

#include "board/rays.h"
#include "board_testing.h"

namespace {

// Squares visited by a walk over the list with the given squares occupied.
std::vector<std::string> Walk(const RayNode* node, std::vector<u32> occupied = {}) {
  std::vector<std::string> visited;
  while (node) {
    visited.push_back({static_cast<char>('a' + FileOf(node->to)), static_cast<char>('1' + RankOf(node->to))});
    bool full = std::find(occupied.begin(), occupied.end(), node->to) != occupied.end();
    node = full ? node->nextRay : node->nextIfEmpty;
  }
  return visited;
}

using Texts = std::vector<std::string>;

}  // namespace

TEST(RayLists, StepListsInTheirFixedOrder) {
  InitBoardTables();
  EXPECT_EQ(Walk(KnightRays[Sq("a1")]), (Texts{"c2", "b3"}));
  EXPECT_EQ(Walk(KnightRays[Sq("d4")]), (Texts{"f5", "f3", "e6", "e2", "b5", "b3", "c6", "c2"}));
  EXPECT_EQ(Walk(KingRays[Sq("a1")]), (Texts{"a2", "b2", "b1"}));
  EXPECT_EQ(Walk(KingRays[Sq("e4")]), (Texts{"e5", "f5", "f4", "f3", "e3", "d3", "d4", "d5"}));
  // Occupied squares do not cut a step list.
  EXPECT_EQ(Walk(KnightRays[Sq("a1")], {Sq("c2")}), (Texts{"c2", "b3"}));
  EXPECT_EQ(KnightRays[Sq("a1")]->tag, KnightTag);
  EXPECT_EQ(KingRays[Sq("a1")]->nextIfEmpty->tag, 1);
}

TEST(RayLists, SliderRaysStopAtTheFirstOccupiedSquare) {
  InitBoardTables();
  EXPECT_EQ(Walk(RookRays[Sq("a1")]),
            (Texts{"a2", "a3", "a4", "a5", "a6", "a7", "a8", "b1", "c1", "d1", "e1", "f1", "g1", "h1"}));
  EXPECT_EQ(Walk(RookRays[Sq("a1")], {Sq("a3"), Sq("e1")}), (Texts{"a2", "a3", "b1", "c1", "d1", "e1"}));
  EXPECT_EQ(Walk(QueenRays[Sq("d4")]),
            (Texts{"d5", "d6", "d7", "d8", "d3", "d2", "d1", "c4", "b4", "a4", "e4", "f4", "g4", "h4",
                   "e5", "f6", "g7", "h8", "e3", "f2", "g1", "c5", "b6", "a7", "c3", "b2", "a1"}));
  // A blocker on the last rook ray leads straight into the bishop rays.
  EXPECT_EQ(Walk(QueenRays[Sq("a1")], {Sq("a2"), Sq("b1")}),
            (Texts{"a2", "b1", "b2", "c3", "d4", "e5", "f6", "g7", "h8"}));
  EXPECT_EQ(Walk(BishopRays[Sq("h8")]), (Texts{"g7", "f6", "e5", "d4", "c3", "b2", "a1"}));
  const RayNode* node = RookRays[Sq("a1")];
  EXPECT_EQ(node->move, MakeMoveWord(Sq("a1"), Sq("a2")));
  EXPECT_EQ(node->tag, 0);
  EXPECT_EQ(node->nextIfEmpty->nextIfEmpty->distance, 3u);
}

TEST(RayLists, PawnCaptureListsAndPieceTable) {
  InitBoardTables();
  EXPECT_EQ(Walk(PawnCaptureRaysUp[Sq("e4")]), (Texts{"d5", "f5"}));
  EXPECT_EQ(Walk(PawnCaptureRaysUp[Sq("a2")]), (Texts{"b3"}));
  EXPECT_EQ(PawnCaptureRaysUp[Sq("a2")]->tag, 2);
  EXPECT_EQ(Walk(PawnCaptureRaysDown[Sq("e4")]), (Texts{"d3", "f3"}));
  EXPECT_EQ(PawnCaptureRaysUp[Sq("e8")], nullptr);
  EXPECT_EQ(PawnCaptureRaysDown[Sq("e1")], nullptr);
  EXPECT_EQ(RaysByPiece[BlackQueen], QueenRays);
  EXPECT_EQ(RaysByPiece[WhiteKnight], KnightRays);
  EXPECT_EQ(RaysByPiece[BlackPawn], PawnCaptureRaysDown);
}

TEST(MoveList, PickTakesTheFirstOfEqualBestScores) {
  MoveList list;
  list.count = 4;
  list.next = 0;
  const i32 scores[] = {5, 9, 9, 1};
  for (i32 i = 0; i < 4; ++i) {
    list.moves[i] = 100 + i;
    list.scores[i] = scores[i];
  }
  PickNextMove(&list);
  EXPECT_EQ(list.moves[0], 101u);
  EXPECT_EQ(list.pickedScore, 9);
  EXPECT_EQ(list.moves[1], 100u);  // swapped into the picked move's slot
  EXPECT_EQ(list.moves[2], 102u);
  PickNextMove(&list);
  EXPECT_EQ(list.moves[1], 102u);
  PickNextMove(&list);
  PickNextMove(&list);
  EXPECT_EQ(list.moves[3], 103u);
  EXPECT_EQ(list.pickedScore, 1);
  EXPECT_EQ(list.next, 4);
}

TEST(MoveList, PickComparesScoresAsSignedNumbers) {
  MoveList list;
  list.count = 2;
  list.next = 0;
  list.moves[0] = 1;
  list.scores[0] = -5;
  list.moves[1] = 2;
  list.scores[1] = 3;
  PickNextMove(&list);
  EXPECT_EQ(list.moves[0], 2u);
}
