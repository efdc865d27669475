// The search's tablebase step on a frame: when it probes, the exact score from the solved
// tables, and what it leaves in the transposition table and the frame.
#include <gtest/gtest.h>

#include "config/params.h"
#include "search/frame_entries.h"
#include "search/stub_protocol.h"
#include "search/transposition_table.h"
#include "tablebase/block_cache.h"
#include "tablebase/probe.h"
#include "tablebase/registration.h"
#include "tablebase/tb_file_support.h"
#include "tb_fixtures.h"

namespace {

TEST(TablebaseSearchProbe, StoresAFinalResult) {
  ScratchDirectory directory;
  ASSERT_TRUE(TbWriteSolvedFiles(directory.path, TbRowOfName("kqk")));
  TablebaseMaxMen = InitTablebases(directory.path);
  ASSERT_EQ(TablebaseMaxMen, 3);
  SetTablebaseCacheSize(1);
  EngineFixture fixture;
  Engine* engine = fixture.engine;
  // Qh8 mates at once: the table says mate in 1 move, one ply from this node.
  ASSERT_TRUE(fixture.setPosition("k7/8/1K6/8/8/8/7Q/8 w - - 0 1"));
  engine->useTablebases = 1;
  const i32 savedDepth = egtb_depth.load();
  egtb_depth.store(192);
  TT.clear();

  SearchFrame* root = &engine->frames[0];
  SearchFrame* frame = &engine->frames[1];
  frame->board = engine->board;
  frame->ply = 1;
  frame->depth64 = 64;
  frame->stats = {};
  frame->nodeType = 1;
  frame->line.flag = 0;
  root->currentMove = MakeMoveWord(MakeSquare(1, 4), MakeSquare(1, 5));  // quiet, from the root
  root->capturedPiece = Empty;
  i32 score = 0;
  ASSERT_TRUE(ProbeTablebase(frame, &score));
  EXPECT_EQ(score, 29999 - 1);
  EXPECT_EQ(frame->stats.tablebaseHits, 1u);
  EXPECT_EQ(frame->nodeType, 4);
  EXPECT_EQ(frame->line.flag, 1);
  EXPECT_EQ(frame->line.length, 0);
  // A final entry answers any later probe, its mate distance counted from the probing node.
  TTProbe stored = TT.probe(engine->board, 64 * 59, 3, -30000, 30000);
  ASSERT_TRUE(stored.cutoff);
  EXPECT_EQ(stored.score, 29999 - 3);
  EXPECT_EQ(stored.moves[0], EmptyMove);

  // Deeper in the tree only after a capture or a promotion, and only deep enough.
  struct Case {
    const char* name;
    i32 ply, depth64;
    u8 captured;
    u32 promotion;
    u8 use;
    bool probed;
  };
  const Case cases[] = {
      {"quiet move at ply 2", 2, 1280, Empty, NoPromotion, 1, false},
      {"capture at ply 2", 2, 192, WhiteRook, NoPromotion, 1, true},
      {"promotion at ply 4", 4, 200, Empty, WhiteQueen, 1, true},
      {"capture, too shallow", 3, 191, WhiteRook, NoPromotion, 1, false},
      {"tables switched off", 1, 640, WhiteRook, NoPromotion, 0, false},
  };
  for (const Case& c : cases) {
    SearchFrame* node = &engine->frames[c.ply];
    node->board = engine->board;
    node->ply = c.ply;
    node->depth64 = c.depth64;
    node->stats = {};
    node->parent->capturedPiece = c.captured;
    node->parent->currentMove = MakeMoveWord(MakeSquare(0, 6), MakeSquare(0, 7), c.promotion);
    engine->useTablebases = c.use;
    i32 value = 0;
    EXPECT_EQ(ProbeTablebase(node, &value), c.probed) << c.name;
    if (c.probed) {
      EXPECT_EQ(value, 29999 - c.ply) << c.name;
    }
    EXPECT_EQ(node->stats.tablebaseHits, c.probed ? 1u : 0u) << c.name;
  }
  egtb_depth.store(savedDepth);
  InitTablebases("/nonexistent");
  SetTablebaseCacheSize(0);
}

}  // namespace
