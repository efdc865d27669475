// The engine with the project's solved three-man tables: it reports the exact mate distance at
// the root for either side to move and, playing both sides, mates in exactly that many moves.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "board/fen.h"
#include "protocol/uci.h"
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

// For every mate distance of the solved KQK, KRK and KPK tables, with the winning and with the
// losing side to move, one position: the score at the root is the retrograde distance (a win
// in m moves 2m - 1 plies, mated in k moves 2k plies), and the UCI text says so.
TEST_F(TablebaseMates, EveryDistanceOfBothSidesIsReportedExactly) {
  ASSERT_TRUE(TbWriteSolvedFiles(tables.path, TbRowOfName("kpk")));
  TablebaseMaxMen = InitTablebases(tables.path);
  bool sawMatedInTenWithTheQueen = false;
  for (const char* name : {"kqk", "krk", "kpk"}) {
    const int row = TbRowOfName(name);
    const TbMaterial material = TbMaterialOfRow(row);
    for (int side = 0; side < 2; ++side) {
      std::map<int, std::string> byValue;  // one position per value byte
      TbForEachPosition(material, side, [&](const TbPlacement& p) {
        TbLookup found;
        Board board;
        std::string fen = TbPlacementFen(material, p, side, false);
        if (!SetFen(&board, fen.c_str()) || !TbLookupBoard(&board, &found)) return;
        const int value = TbSolvedValues(found.row, found.side)[found.index];
        if (value != 0 && value != -126 && !byValue.count(value)) byValue[value] = fen;
      });
      for (const auto& [value, fen] : byValue) {
        SCOPED_TRACE(fen);
        SetPosition(fen.c_str());
        if (HasFatalFailure()) return;
        const int moves = value > 0 ? 127 - value : value + 126;
        const i32 expected = value > 0 ? 30000 - (2 * moves - 1) : -(30000 - 2 * moves);
        EXPECT_EQ(Run(3).score, expected) << name << " value " << value;
        EXPECT_EQ(UciScore(expected),
                  " score mate " + std::to_string(value > 0 ? moves : -moves));
        sawMatedInTenWithTheQueen |= std::string(name) == "kqk" && value == 10 - 126;
      }
    }
  }
  EXPECT_TRUE(sawMatedInTenWithTheQueen);
}

// Where the search finds the mate by itself, the tables change nothing in its score.
TEST_F(TablebaseMates, ShortMatesScoreTheSameWithAndWithoutTables) {
  const char* positions[] = {
      "k7/8/1K6/8/8/8/7Q/8 w - - 0 1",   // mate in 1
      "k7/8/1K6/8/8/8/8/6Q1 b - - 0 1",  // mated in 1 (Kb8, Qg8#)
      "k7/8/2K5/8/8/8/8/7R w - - 0 1",   // mate in 2
      "7k/8/6K1/8/8/8/8/R7 b - - 0 1",   // mated in 1
  };
  for (const char* fen : positions) {
    SCOPED_TRACE(fen);
    SetPosition(fen);
    if (HasFatalFailure()) return;
    engine->useTablebases = 0;
    const i32 alone = Run(6).score;
    ASSERT_GE(alone > 0 ? alone : -alone, 29990) << "the search alone finds the mate";
    SetPosition(fen);
    engine->useTablebases = 1;
    EXPECT_EQ(Run(6).score, alone);
  }
}

}  // namespace
