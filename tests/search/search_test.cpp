// The main search on positions with known answers: mates at a fixed depth with both
// evaluations, draws below the root, single replies, the extension cap, determinism, and
// parameter values and histories that could make it misbehave.
#include <gtest/gtest.h>

#include <cstring>

#include "board/notation.h"
#include "search_testing.h"

namespace {

using namespace search_testing;

struct MateCase {
  const char* fen;
  i32 moves;  // mate in this many moves of the side to move
};

// Checked by brute force as well: each has a mate in `moves` and none in fewer.
const MateCase MateCases[] = {
    {"6k1/5ppp/8/8/8/8/8/R5K1 w - - 0 1", 1},
    {"kbK5/pp6/1P6/8/8/8/8/R7 w - - 0 1", 2},
    {"r7/8/8/8/8/1p6/PP6/KBk5 b - - 0 1", 2},
    {"1k6/8/3K4/8/8/8/8/7R w - - 0 1", 3},
    {"7r/8/8/8/8/3k4/8/1K6 b - - 0 1", 3},
    {"r5rk/5p1p/5R2/4B3/8/8/7P/7K w - - 0 1", 3},
};

class SearchTest : public SearchFixture {
 protected:
  void CheckMates(const char* evaluation) {
    for (const MateCase& c : MateCases) {
      SCOPED_TRACE(std::string(evaluation) + " " + c.fen);
      SetPosition(c.fen);
      ASSERT_TRUE(MatesIn(engine->board, c.moves));
      if (c.moves > 1) {
        ASSERT_FALSE(MatesIn(engine->board, c.moves - 1));
      }
      // Reductions can hide the shortest mate for an iteration or two: a few plies to spare.
      const PVLine& line = Run(2 * c.moves + 3);
      EXPECT_EQ(line.score, MateScore - (2 * c.moves - 1));
      ASSERT_GE(line.length, 1);
      EXPECT_TRUE(MoveMatesIn(engine->board, line.moves[0], c.moves)) << Text(line.moves[0]);
    }
  }
};

TEST_F(SearchTest, FindsMatesWithMaterialEvaluation) { CheckMates("material"); }

TEST_F(SearchTest, FindsMatesWithShippedNetwork) {
  UseNetwork();
  CheckMates("network");
}

TEST_F(SearchTest, RepetitionBelowRootIsDraw) {
  // The knights go out and back twice: after the last g8 the position after the first g8
  // (the start position) stands again, four plies back.
  SetPosition(StartFen);
  Play({"g1f3", "g8f6", "f3g1", "f6g8", "g1f3", "g8f6", "f3g1"});
  EXPECT_EQ(SearchAfter("f6g8", 3), DrawScore);
  EXPECT_NE(SearchAfter("b8c6", 3), DrawScore);
}

TEST_F(SearchTest, RepetitionOfPositionRightAfterCapture) {
  // The capture resets the clock; four king moves later its position is back with the clock
  // at 4, exactly as far back as the capture.
  SetPosition("4k3/8/8/3p4/8/2N5/8/4K3 w - - 0 1");
  Play({"c3d5", "e8f7", "e1e2", "f7e8"});
  EXPECT_EQ(SearchAfter("e2e1", 3), DrawScore);
}

TEST_F(SearchTest, FiftyMoveRuleBelowRootIsDraw) {
  SetPosition("4k3/8/8/3p4/8/2N5/8/4K3 w - - 99 80");
  EXPECT_EQ(SearchAfter("e1e2", 3), DrawScore);   // the clock reaches 100
  EXPECT_NE(SearchAfter("c3d5", 3), DrawScore);   // a capture resets it
  // A mate on the hundredth half-move ends the game before the rule draws it; a check that
  // leaves a move does not.
  SetPosition("7k/8/6K1/8/8/8/8/R7 w - - 99 120");
  EXPECT_EQ(SearchAfter("a1a8", 3), 1 - MateScore);
  EXPECT_EQ(engine->frames[1].nodeType, 4);
  EXPECT_EQ(SearchAfter("a1h1", 3), DrawScore);
}

TEST_F(SearchTest, MateAndStalemateBelowRoot) {
  SetPosition("6k1/5ppp/8/8/8/8/8/R5K1 w - - 0 1");
  EXPECT_EQ(SearchAfter("a1a8", 2), 1 - MateScore);
  EXPECT_EQ(engine->frames[1].nodeType, 4);
  SetPosition("k7/8/1K6/8/8/8/8/2Q5 w - - 0 1");
  EXPECT_EQ(SearchAfter("c1c7", 2), 0);  // a7, b7, b8 all covered, no check
  EXPECT_EQ(engine->frames[1].nodeType, 4);
}

TEST_F(SearchTest, SingleReplyAtFirstPlyExtendsByHalf) {
  // After Rh1 Black has only Kb8.
  SetPosition("k7/8/1K6/8/8/8/8/6R1 w - - 0 1");
  SearchAfter("g1h1", 3);
  EXPECT_EQ(engine->frames[1].extension, ext_single / 2);
  SetPosition("k7/8/1K6/8/8/8/8/6R1 w - - 0 1");
  ext_single = 100;
  SearchAfter("g1h1", 3);
  EXPECT_EQ(engine->frames[1].extension, 50);
}

TEST_F(SearchTest, ExtensionNeverExceedsPerPlyCap) {
  // A pawn reaches the seventh rank with check: two extensions at once.
  const char* fen = "4k3/8/5P2/8/8/8/8/4K3 w - - 0 1";
  SetPosition(fen);
  SearchAfter("f6f7", 3);
  EXPECT_EQ(engine->frames[1].extension, 64);
  ext_check = 192;
  ext_pawnon7th = 192;
  ext_per_ply = 100;
  SetPosition(fen);
  SearchAfter("f6f7", 3);
  EXPECT_EQ(engine->frames[1].extension, 100);
}

TEST_F(SearchTest, NullMoveOnlyWhereAllowed) {
  struct Case {
    const char* fen;
    const char* rootMove;
    i32 depth;
    bool nullMove;  // tried by the side to move at the first ply
  };
  const Case cases[] = {
      {"r4rk1/2q2ppp/p4n2/1p1b2B1/1b1N4/3B3P/PP3PP1/R2QR1K1 w - - 0 20", "h3h4", 4, true},
      {"r4rk1/2q2ppp/p4n2/1p1b2B1/1b1N4/3B3P/PP3PP1/R2QR1K1 w - - 0 20", "h3h4", 1, false},
      // In check.
      {"r4rk1/2q2ppp/p4n2/1p1b2B1/1b1N4/3B3P/PP3PP1/R2QR1K1 w - - 0 20", "d3h7", 4, false},
      // King and knight: nine legal moves are too few.
      {"8/8/8/8/8/2n5/1k6/4K2Q w - - 0 1", "h1h2", 4, false},
      // King and rook with room: enough moves and king moves.
      {"4k3/8/8/8/3r4/8/8/4K2Q w - - 0 1", "h1h2", 4, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.fen) + " " + c.rootMove);
    SetPosition(c.fen);
    for (SearchFrame& frame : engine->frames) frame.stats = SearchStats{};
    SearchAfter(c.rootMove, c.depth);
    EXPECT_EQ(engine->frames[2].stats.afterNullNodes > 0, c.nullMove);
  }
}

TEST_F(SearchTest, NullMoveRevealingMateSetsThreatFlag) {
  // After h3 Black faces Rc8 mate: a free move for White mates.
  SetPosition("6k1/5ppp/8/8/8/8/r3nPPP/2R4K w - - 0 1");
  SearchAfter("h2h3", 4, -50, 50);
  EXPECT_EQ(engine->frames[1].flags & 1, 1u);
  EXPECT_GE(engine->frames[1].extension, ext_threat / 2);
}

TEST_F(SearchTest, SameSearchTwiceGivesSameNodesAndLine) {
  for (bool network : {false, true}) {
    SCOPED_TRACE(network ? "network" : "material");
    if (network) UseNetwork();
    const char* fen = "r4rk1/2q2ppp/p4n2/1p1b2B1/1b1N4/3B3P/PP3PP1/R2QR1K1 w - - 0 20";
    SetPosition(fen);
    PVLine first = Run(6);
    u64 firstNodes = SearchNodes(engine);
    SetPosition(fen);
    PVLine second = Run(6);
    EXPECT_EQ(SearchNodes(engine), firstNodes);
    EXPECT_EQ(second.score, first.score);
    ASSERT_EQ(second.length, first.length);
    for (i32 i = 0; i < first.length; ++i) EXPECT_EQ(second.moves[i], first.moves[i]) << i;
  }
}

TEST_F(SearchTest, OutOfRangeParametersStillGiveSoundSearch) {
  struct Setting {
    std::atomic<i32>* variable;
    i32 value;
  };
  const Setting settings[] = {
      {&ext_check, 1 << 30},         {&ext_check, -1000000},   {&ext_single, INT_MAX},
      {&ext_threat, INT_MIN},        {&ext_per_ply, INT_MAX},  {&ext_pv, 1 << 29},
      {&null_red_depth, -1000000},   {&null_red_depth, INT_MAX}, {&ms_prune_first, -5},
      {&ms_prune_first, INT_MAX},    {&ms_prune, INT_MIN},     {&static_prune_depth, INT_MAX},
      {&static_prune_depth, -7},     {&prune_margin, INT_MAX}, {&prune_margin, INT_MIN},
      {&eval_material, INT_MAX},     {&eval_material, INT_MIN}, {&ks_worst_weight, INT_MAX},
      {&egtb_depth, INT_MIN},        {&ks_qs_margin, -1},      {&ks_null_reduce, INT_MAX},
  };
  const char* fen = "r4rk1/2q2ppp/p4n2/1p1b2B1/1b1N4/3B3P/PP3PP1/R2QR1K1 w - - 0 20";
  for (const Setting& s : settings) {
    RegisterParams();
    material_only = 1;
    *s.variable = s.value;
    SCOPED_TRACE(std::to_string(s.value));
    SetPosition(fen);
    const PVLine& line = Run(4);
    EXPECT_GE(line.length, 1);
    EXPECT_LE(line.score, EvalClamp + 2000);
    EXPECT_GE(line.score, -EvalClamp - 2000);
    EXPECT_TRUE(IsLegalMove(engine->board, line.moves[0]));
  }
}

TEST_F(SearchTest, HugeMaterialScaleStaysBelowMateBand) {
  eval_material = INT_MAX;
  SetPosition("k7/8/8/8/8/8/8/KQQQQ3 w - - 0 1");
  LoadSearchParams();
  EXPECT_EQ(StaticEvaluation(&engine->frames[1]), EvalClamp);
  SetPosition("k7/8/8/8/8/8/8/KQQQQ3 b - - 0 1");
  EXPECT_EQ(StaticEvaluation(&engine->frames[1]), -EvalClamp);
  // A search on it ends (the last aspiration stage does not keep failing high).
  SetPosition("k7/8/8/8/8/8/1QQ5/K7 w - - 0 1");
  const PVLine& line = Run(3);
  EXPECT_GE(line.length, 1);
}

TEST_F(SearchTest, FullGameHistoryLeavesRoomForSearch) {
  SetPosition(StartFen);
  for (int i = 0; i < 256; ++i) Play({"g1f3", "g8f6", "f3g1", "f6g8"});
  ASSERT_EQ(engine->history->count, GameHistoryGameLimit);
  const PVLine& line = Run(6);
  EXPECT_GE(line.length, 1);
  EXPECT_EQ(engine->history->count, GameHistoryGameLimit);

  // A history filled past the game's limit by hand still leaves the search its plies.
  GameHistory* history = engine->history;
  while (history->count < GameHistoryCapacity - 10) {
    history->entries[history->count] = history->entries[history->count - 4];
    ++history->count;
  }
  Run(6);
  EXPECT_LE(engine->history->count + SearchFrameCount, GameHistoryCapacity);
}

// The prefetch key is the child's own key for every move that neither changes a castling right
// nor promotes: quiet moves, captures, double steps and en passant, with and without an
// en-passant square before the move.
TEST(ChildKeyHint, IsTheChildKeyWhenNoRightChangesAndNoPawnPromotes) {
  const char* fens[] = {
      StartFen,
      "rnbqkbnr/ppp1pppp/8/8/3pP3/8/PPPP1PPP/RNBQKBNR b KQkq e3 0 3",
      "r3k2r/pPp2ppp/2n2n2/3pP3/1b6/2N2N2/P1PP1PPP/R3K2R w KQkq d6 0 9",
  };
  int compared = 0;
  for (const char* fen : fens) {
    SCOPED_TRACE(fen);
    Board board;
    ASSERT_TRUE(SetFen(&board, fen));
    MoveList moves;
    moves.count = 0;
    GenerateLegalMoves(&board, &moves);
    for (i32 i = 0; i < moves.count; ++i) {
      const u32 move = moves.moves[i];
      const u8 mover = board.squares[MoveFrom(move)];
      const u32 captureSquare = CaptureSquareOf(&board, move, mover);
      const u8 captured = board.squares[captureSquare];
      const u64 hint = ChildKeyHint(&board, move, mover, captured, captureSquare);
      Board child = board;
      MakeMove(&child, mover, move);
      if (MovePromotion(move) != NoPromotion ||
          std::memcmp(child.castleRights, board.castleRights, sizeof board.castleRights) != 0)
        continue;
      EXPECT_EQ(hint, child.key) << MoveToText(move);
      ++compared;
    }
  }
  EXPECT_GT(compared, 60);
}

}  // namespace
