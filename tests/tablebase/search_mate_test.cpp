// The engine with the project's solved three-man tables: it reports the exact mate distance at
// the root and, playing both sides, mates in exactly that many moves.
#include <gtest/gtest.h>

#include "search/search_testing.h"
#include "tablebase/block_cache.h"
#include "tablebase/probe.h"
#include "tablebase/registration.h"
#include "tablebase/tb_file_support.h"
#include "tb_fixtures.h"
#include "tb_positions.h"

namespace {

using search_testing::SearchFixture;

class TablebaseMates : public SearchFixture {
 protected:
  ScratchDirectory tables;
  ScratchDirectory empty;

  void SetUp() override {
    SearchFixture::SetUp();
    ASSERT_TRUE(TbWriteSolvedFiles(tables.path, TbRowOfName("kqk")));
    ASSERT_TRUE(TbWriteSolvedFiles(tables.path, TbRowOfName("krk")));
    TablebaseMaxMen = InitTablebases(tables.path);
    ASSERT_EQ(TablebaseMaxMen, 3);
    SetTablebaseCacheSize(1);
    engine->useTablebases = 1;
  }

  void TearDown() override {
    TablebaseMaxMen = InitTablebases(empty.path);
    SearchFixture::TearDown();
  }

  // Moves to mate for the side to move, as the solved table says.
  int TableMateDistance() {
    TbLookup found;
    EXPECT_TRUE(TbLookupBoard(engine->board, &found));
    const i8 value = TbSolvedValues(found.row, found.side)[found.index];
    EXPECT_GT(value, 0) << "not a won position";
    return 127 - value;
  }
};

TEST_F(TablebaseMates, ExactDistanceAndTheMateItself) {
  const char* positions[] = {
      "8/8/8/3k4/8/8/8/R3K3 w - - 0 1",   // KRK from the middle of the board
      "8/8/8/8/4k3/8/8/K6R w - - 0 1",    // KRK, kings far apart
      "8/8/8/3k4/8/8/8/2Q1K3 w - - 0 1",   // KQK
      "7k/8/8/8/8/8/8/1Q5K w - - 0 1",    // KQK, the defending king in a corner
  };
  for (const char* fen : positions) {
    SCOPED_TRACE(fen);
    SetPosition(fen);
    if (HasFatalFailure()) return;
    const int moves = TableMateDistance();
    ASSERT_GE(moves, 3);

    const PVLine& line = Run(3);
    EXPECT_EQ(line.score, 30000 - (2 * moves - 1));

    // Both sides play on from the tables: the stronger side never lets the mate slip, the
    // weaker side holds out as long as it can, so the game ends in mate after `moves` moves.
    int played = 0;
    for (int ply = 0; ply < 2 * moves + 4; ++ply) {
      if (CountLegalMoves(engine->board) == 0) break;
      const PVLine& reply = Run(3);
      ASSERT_GT(reply.length, 0);
      ASSERT_TRUE(IsLegalMove(engine->board, reply.moves[0]));
      if (SideToMove(engine->board) == White) ++played;
      PushGameMove(engine->history, reply.moves[0]);
    }
    EXPECT_EQ(CountLegalMoves(engine->board), 0);
    EXPECT_TRUE(InCheck(engine->board));
    EXPECT_EQ(played, moves);
  }
}

}  // namespace
