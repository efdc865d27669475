// Ordering scores of both phases and of the root, the deferred second phase, and the killer
// and history updates after a cut-off.
#include "board/board_testing.h"
#include "search/move_ordering.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>

#include "board/fen.h"
#include "board/movegen.h"
#include "board/notation.h"
#include "search/history_table.h"
#include "search/search_frame.h"

namespace {

void Load(Board* board, const char* fen) { EXPECT_TRUE(SetFen(board, fen)) << fen; }

class MoveOrderingTest : public ::testing::Test {
 protected:
  void SetUp() override { ClearHistory(); }
  void TearDown() override { ClearHistory(); }
};

TEST(CaptureOrderTable, VictimValueLessFifteenPerAttackerType) {
  const i32 pawnRow[6] = {100, 305, 325, 500, 1000, 30000};
  for (int a = 0; a < 6; ++a)
    for (int v = 0; v < 6; ++v) EXPECT_EQ(CaptureOrderTable[a][v], pawnRow[v] - 15 * a);
}

TEST_F(MoveOrderingTest, CaptureScores) {
  struct Case {
    const char* name;
    const char* fen;
    const char* move;
    u32 killers[2];
    i32 score;  // before the factor 256
  } cases[] = {
      {"queen takes a pawn defended once, one attacker", "4k3/8/4p3/3p4/8/8/8/3QK3 w - - 0 1",
       "d1d5", {0, 0}, 40 - 62 - 150},
      {"the same with a second attacker", "4k3/8/4p3/3p4/8/2N5/8/3QK3 w - - 0 1", "d1d5",
       {0, 0}, 40 - 62},
      {"pawn takes a hanging knight", "4k3/8/8/3n4/4P3/8/8/4K3 w - - 0 1", "e4d5", {0, 0},
       305 + 50},
      {"hanging knight takes a hanging pawn", "4k3/8/8/8/1p2p3/2N5/8/4K3 w - - 0 1", "c3e4",
       {0, 0}, 85 + 50 + 50},
      {"taking the rook that attacks a hanging knight", "1k2r3/8/8/4N3/Q7/8/8/4K3 w - - 0 1",
       "a4e8", {0, 0}, 440 + 50 + 19},
      {"taking the pawn that attacks a hanging bishop", "4k3/7p/6p1/4NB2/8/8/8/4K3 w - - 0 1",
       "e5g6", {0, 0}, 85 - 19 + 20},
      {"black: taking the pawn that attacks a hanging bishop",
       "4k3/8/8/8/4nb2/6P1/7P/4K3 b - - 0 1", "e4g3", {0, 0}, 85 - 19 + 20},
      {"en passant, first capture killer", "4k3/8/8/3pP3/8/8/8/4K3 w - d6 0 1", "e5d6",
       {Mv("e5d6"), 0}, 100 + 200},
      {"en passant, second capture killer", "4k3/8/8/3pP3/8/8/8/4K3 w - d6 0 1", "e5d6",
       {0, Mv("e5d6")}, 100 + 100},
      {"promotion takes a rook", "r3k3/1P6/8/8/8/8/8/4K3 w - - 0 1", "b7a8q", {0, 0},
       500 + 1000 + 50},
  };
  for (const Case& c : cases) {
    Board board;
    Load(&board, c.fen);
    u32 move = Mv(c.move);
    ASSERT_NE(CapturedPieceOf(&board, move), Empty) << c.name;
    EXPECT_EQ(CaptureOrderScore(&board, move, c.killers), c.score * 256) << c.name;
  }
}

TEST_F(MoveOrderingTest, QuietScores) {
  const u32 killers[2] = {Mv("g1f3"), Mv("b1c3")};
  const u32 grandparent[2] = {Mv("e2e4"), Mv("d2d4")};
  struct Case {
    const char* name;
    const char* fen;
    const char* move;
    bool deeperThanPly1;
    i32 score;
  } cases[] = {
      {"first killer", StartFen, "g1f3", true, 25088},
      {"second killer", StartFen, "b1c3", true, 24832},
      {"grandparent's first killer", StartFen, "e2e4", true, 2 * 256},
      {"grandparent's second killer", StartFen, "d2d4", true, 1 * 256},
      {"no grandparent at ply 1", StartFen, "e2e4", false, 0},
      {"knight onto a square a pawn attacks", "4k3/8/4p3/8/8/2N5/8/4K3 w - - 0 1", "c3d5", true,
       -19 * 256},
      {"hanging knight moves away", "4k3/8/8/8/1p6/2N5/8/4K3 w - - 0 1", "c3e2", true, 19 * 256},
      {"queen promotion", "4k3/1P6/8/8/8/8/8/4K3 w - - 0 1", "b7b8q", true, 1000 * 256},
  };
  for (const Case& c : cases) {
    Board board;
    Load(&board, c.fen);
    u32 move = Mv(c.move);
    ASSERT_EQ(CapturedPieceOf(&board, move), Empty) << c.name;
    EXPECT_EQ(QuietOrderScore(&board, move, killers, c.deeperThanPly1 ? grandparent : nullptr),
              c.score)
        << c.name;
  }
}

TEST_F(MoveOrderingTest, HistoryCountsOnlyOnceItsMaximumReaches256) {
  Board board;
  Load(&board, StartFen);
  const u32 noKillers[2] = {0, 0};
  u32 move = Mv("g1f3");
  struct Case {
    u32 entry, max;
    i32 score;
  } cases[] = {{200, 255, 0}, {255, 255, 0}, {200, 256, 100}, {511, 511, 255},
               {1000, 1000, 250}, {UINT32_MAX, UINT32_MAX, 255}};
  for (const Case& c : cases) {
    HistoryTable[WhiteKnight][MoveTo(move)] = c.entry;
    HistoryMax = c.max;
    EXPECT_EQ(QuietOrderScore(&board, move, noKillers, nullptr), c.score) << c.max;
  }
}

TEST_F(MoveOrderingTest, RootScores) {
  const u32 killers[2] = {Mv("g1f3"), Mv("b1c3")};
  struct Case {
    const char* name;
    const char* fen;
    const char* move;
    i32 score;
  } cases[] = {
      {"previous best move", StartFen, "e2e4", 10000002},
      {"first killer", StartFen, "g1f3", 99},
      {"second killer", StartFen, "b1c3", 98},
      {"other quiet move", StartFen, "a2a3", 0},
      {"capture: the table alone", "4k3/8/4p3/3p4/8/8/8/3QK3 w - - 0 1", "d1d5", 40},
      {"en passant", "4k3/8/8/3pP3/8/8/8/4K3 w - d6 0 1", "e5d6", 100},
      {"knight onto a square a pawn attacks", "4k3/8/4p3/8/8/2N5/8/4K3 w - - 0 1", "c3d5", -19},
      {"hanging knight moves away", "4k3/8/8/8/1p6/2N5/8/4K3 w - - 0 1", "c3e2", 19},
  };
  for (const Case& c : cases) {
    Board board;
    Load(&board, c.fen);
    EXPECT_EQ(RootOrderScore(&board, Mv(c.move), Mv("e2e4"), killers), c.score) << c.name;
  }
}

TEST(KillerPair, RepeatedKillersMoveUpNewOnesTakeTheSecondSlot) {
  struct Case {
    u32 before[2], move, after[2];
  } cases[] = {{{1, 2}, 1, {1, 2}}, {{1, 2}, 2, {2, 1}}, {{1, 2}, 3, {1, 3}}, {{0, 0}, 5, {0, 5}}};
  for (const Case& c : cases) {
    u32 pair[2] = {c.before[0], c.before[1]};
    UpdateKillerPair(pair, c.move);
    EXPECT_EQ(pair[0], c.after[0]);
    EXPECT_EQ(pair[1], c.after[1]);
  }
}

TEST_F(MoveOrderingTest, CutoffsFeedKillersAndHistory) {
  auto frame = std::make_unique<SearchFrame>();
  u32 quiet = Mv("g1f3"), capture = Mv("e4d5");
  // A quiet cut-off at depth 2 plies adds (2 + 1)^2.
  UpdateOrderingAfterCutoff(frame.get(), quiet, WhiteKnight, Empty, 130);
  EXPECT_EQ(HistoryTable[WhiteKnight][MoveTo(quiet)], 9u);
  EXPECT_EQ(HistoryMax, 9u);
  EXPECT_EQ(frame->killers[1], quiet);
  // At negative depth only the killers change.
  UpdateOrderingAfterCutoff(frame.get(), quiet, WhiteKnight, Empty, -1);
  EXPECT_EQ(HistoryTable[WhiteKnight][MoveTo(quiet)], 9u);
  EXPECT_EQ(frame->killers[0], quiet);
  // Depth 0 counts one.
  UpdateOrderingAfterCutoff(frame.get(), quiet, WhiteKnight, Empty, 0);
  EXPECT_EQ(HistoryTable[WhiteKnight][MoveTo(quiet)], 10u);
  // A capture goes to the capture killers and leaves history and killers alone.
  UpdateOrderingAfterCutoff(frame.get(), capture, WhitePawn, BlackPawn, 640);
  EXPECT_EQ(frame->captureKillers[1], capture);
  EXPECT_EQ(HistoryTable[WhitePawn][MoveTo(capture)], 0u);
  EXPECT_EQ(frame->killers[0], quiet);
  EXPECT_EQ(frame->killers[1], 0u);
}

TEST_F(MoveOrderingTest, HistorySaturatesInsteadOfWrapping) {
  HistoryTable[WhiteRook][5] = UINT32_MAX - 3;
  AddHistory(WhiteRook, 5, 64 * 10);
  EXPECT_EQ(HistoryTable[WhiteRook][5], UINT32_MAX);
  EXPECT_EQ(HistoryMax, UINT32_MAX);
  AddHistory(WhiteRook, 5, 64 * 50);
  EXPECT_EQ(HistoryTable[WhiteRook][5], UINT32_MAX);
}

// Three linked frames: grandparent, parent and the node, all on one board.
struct FrameStack {
  std::unique_ptr<SearchFrame[]> frames{new SearchFrame[3]()};
  Board board;

  explicit FrameStack(const char* fen) {
    EXPECT_TRUE(SetFen(&board, fen));
    for (int i = 0; i < 3; ++i) {
      frames[i].board = &board;
      frames[i].ply = i;
      frames[i].parent = i > 0 ? &frames[i - 1] : nullptr;
      frames[i].child = i < 2 ? &frames[i + 1] : nullptr;
    }
    node()->moves.count = 0;
    GenerateLegalMoves(&board, &node()->moves);
  }
  SearchFrame* node() { return &frames[2]; }
  i32 ScoreOf(u32 move) {
    MoveList* list = &node()->moves;
    for (i32 i = 0; i < list->count; ++i)
      if (list->moves[i] == move) return list->scores[i];
    ADD_FAILURE() << "no such move";
    return -1;
  }
};

TEST_F(MoveOrderingTest, PhaseOneScoresOnlyTableAndLineMoves) {
  for (bool onPvPath : {true, false}) {
    FrameStack stack(StartFen);
    SearchFrame* node = stack.node();
    node->parent->onPvPath = onPvPath;
    node->pvMove = Mv("d2d4");
    node->ttMoves[0] = Mv("e2e4");
    node->ttMoves[1] = Mv("g1f3");
    node->killers[0] = Mv("b1c3");
    ScoreMovesPhase1(node);
    EXPECT_EQ(stack.ScoreOf(Mv("d2d4")), onPvPath ? 200000002 : 0);
    EXPECT_EQ(stack.ScoreOf(Mv("e2e4")), 200000001);
    EXPECT_EQ(stack.ScoreOf(Mv("g1f3")), 200000000);
    EXPECT_EQ(stack.ScoreOf(Mv("b1c3")), 0);
    // The line's move wins over a table move that is the same move.
    node->ttMoves[0] = Mv("d2d4");
    ScoreMovesPhase1(node);
    EXPECT_EQ(stack.ScoreOf(Mv("d2d4")), onPvPath ? 200000002 : 200000001);
  }
}

TEST_F(MoveOrderingTest, PhaseTwoWaitsUntilTheTableMovesAreTried) {
  FrameStack stack("4k3/8/4p3/3p4/8/2N5/8/3QK3 w - - 0 1");
  SearchFrame* node = stack.node();
  node->ttMoves[0] = Mv("e1f2");
  node->killers[0] = Mv("c3b5");
  ScoreMovesPhase1(node);
  bool phaseTwoDone = false;
  PickOrderedMove(node, &phaseTwoDone);
  EXPECT_EQ(node->moves.moves[0], Mv("e1f2"));
  EXPECT_FALSE(phaseTwoDone);
  EXPECT_EQ(node->stats.orderedMoves + node->stats.unorderedMoves, 0u);

  // The next pick is where phase 2 runs and picks again from the same place: the killer,
  // then the knight's capture (85 - 19; a second attacker spares it the 150).
  PickOrderedMove(node, &phaseTwoDone);
  EXPECT_TRUE(phaseTwoDone);
  EXPECT_EQ(node->moves.next, 2);
  EXPECT_EQ(node->moves.moves[1], Mv("c3b5"));
  EXPECT_EQ(node->moves.pickedScore, OrderKiller0);
  PickOrderedMove(node, &phaseTwoDone);
  EXPECT_EQ(node->moves.moves[2], Mv("c3d5"));
  EXPECT_EQ(node->moves.pickedScore, (85 - 19) * 256);
  u64 counted = node->stats.orderedMoves + node->stats.unorderedMoves;
  EXPECT_EQ(counted, static_cast<u64>(node->moves.count));
  // Phase 2 happens once per node; the rest comes best first, the queen's capture last.
  i32 previous = node->moves.pickedScore;
  while (node->moves.next < node->moves.count) {
    PickOrderedMove(node, &phaseTwoDone);
    EXPECT_LE(node->moves.pickedScore, previous);
    previous = node->moves.pickedScore;
  }
  EXPECT_EQ(node->moves.moves[node->moves.count - 1], Mv("d1d5"));
  EXPECT_EQ(previous, (40 - 62) * 256);
  EXPECT_EQ(node->stats.orderedMoves + node->stats.unorderedMoves, counted);
}

TEST_F(MoveOrderingTest, EqualScoresKeepGenerationOrder) {
  FrameStack stack(StartFen);
  SearchFrame* node = stack.node();
  u32 generated[MoveListCapacity];
  for (i32 i = 0; i < node->moves.count; ++i) generated[i] = node->moves.moves[i];
  ScoreMovesPhase1(node);
  bool phaseTwoDone = false;
  for (i32 i = 0; i < node->moves.count; ++i) {
    PickOrderedMove(node, &phaseTwoDone);
    EXPECT_EQ(node->moves.moves[i], generated[i]) << i;
  }
}

TEST_F(MoveOrderingTest, ScoreMovesCountsOrderedAndZeroScores) {
  FrameStack stack(StartFen);
  SearchFrame* node = stack.node();
  node->pvMove = Mv("e2e4");
  node->killers[0] = Mv("g1f3");
  node->killers[1] = Mv("b1c3");
  ScoreMoves(node);
  EXPECT_EQ(stack.ScoreOf(Mv("e2e4")), RootOrderPvMove);
  EXPECT_EQ(stack.ScoreOf(Mv("g1f3")), RootOrderKiller0);
  EXPECT_EQ(stack.ScoreOf(Mv("b1c3")), RootOrderKiller1);
  EXPECT_EQ(node->stats.orderedMoves, 3u);
  EXPECT_EQ(node->stats.unorderedMoves, 17u);
}

}  // namespace
