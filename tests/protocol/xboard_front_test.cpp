// The XBoard interpreter in process, with its engine and worker: what each command sets and
// the replies it writes.
#include <gtest/gtest.h>

#include "board/zobrist.h"
#include "protocol/uci.h"
#include "protocol/xboard_fixture.h"
#include "search/history_table.h"

namespace {

using XBoardFront = XBoardFixture;

TEST_F(XBoardFront, ConstructionSetsUpTheConnectionAndTheEngine) {
  EXPECT_EQ(engine->threadState.load(), ThreadIdle);
  EXPECT_EQ(engine->timeController, &gui->dynamicTc);
  EXPECT_EQ(gui->dynamicTc.engine, engine);
  EXPECT_EQ(gui->dynamicTc.time.load(), 5000);
  EXPECT_EQ(gui->dynamicTc.reserve, 3000);
  EXPECT_EQ(gui->fixedTc.time.load(), 5000);
  EXPECT_EQ(gui->unlimitedTc.time.load(), 999999999);
  EXPECT_EQ(gui->board, engine->board);
  EXPECT_EQ(gui->forceMode, 1);
  EXPECT_EQ(gui->post.load(), 1);
  EXPECT_EQ(gui->ponderOn.load(), 1);
  EXPECT_EQ(gui->ponderAllowed.load(), 0);
  EXPECT_EQ(gui->increment(), 10000);
  EXPECT_EQ(gui->movesToGo(), 0);
}

TEST_F(XBoardFront, RepliesOfTheUnguardedCommands) {
  struct Case {
    const char* line;
    std::vector<std::string> replies;
  } cases[] = {
      {"xboard", {}},
      {"protover 2", {"feature setboard=1 colors=0"}},
      {"protover 3", {}},
      {"protover 2 ", {}},
      {"ping 17", {"pong 17"}},
      {"ping", {"pong "}},
      {"variant suicide", {"Error (Variant not supported): suicide"}},
      {"accepted setboard", {}},
      {"rejected colors", {}},
      {"random", {}},
      {"draw", {}},
      {"otim 500", {}},
      {"hint", {}},
      {"computer", {"Error (unknown command): computer"}},
      {"usermove e2e4", {"Error (unknown command): usermove"}},
      {"move e4", {}},  // force mode: SAN, played
      {"e7e4", {"Illegal move: e7e4"}},  // force mode: refused, the game stays
      {"", {"Error (unknown command): "}},
      {"\n", {"Error (unknown command): "}},
      {" e2e4", {"Error (unknown command): "}},
      {"perft 1", {"Error (unknown command): perft"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    command(c.line);
    EXPECT_EQ(lines(), c.replies);
  }
  EXPECT_EQ(fen(), "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3 0 1");
  command("move Qxd8");
  EXPECT_EQ(lines(), std::vector<std::string>{"Illegal move: Qxd8"});
  EXPECT_EQ(fen(), "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3 0 1");
  command("go");
  waitIdle();
  command("move e5");
  EXPECT_EQ(lines().back(), "Error (unknown command): move") << "outside force mode \"move\" is no command";
}

TEST_F(XBoardFront, ModeAndClockCommandsSetTheirFields) {
  command("xboard");
  EXPECT_EQ(gui->xboardMode.load(), 1);
  for (const char* off : {"ponder off", "ponder", "ponder On"}) {
    command("ponder on");
    EXPECT_EQ(gui->ponderOn.load(), 1);
    command(off);
    EXPECT_EQ(gui->ponderOn.load(), 0) << off;
  }
  command("hard");
  EXPECT_EQ(gui->ponderAllowed.load(), 1);
  command("easy");
  EXPECT_EQ(gui->ponderAllowed.load(), 0);
  command("nopost");
  EXPECT_EQ(gui->post.load(), 0);
  command("post");
  EXPECT_EQ(gui->post.load(), 1);

  command("level 40 5 0");
  EXPECT_EQ(engine->timeController, &gui->dynamicTc);
  EXPECT_EQ(gui->dynamicTc.timePerControl, 300000);
  EXPECT_EQ(gui->dynamicTc.movesPerControl, 40);
  EXPECT_EQ(gui->dynamicTc.reserve, 3750);
  EXPECT_EQ(gui->movesToGo(), 40);
  EXPECT_EQ(gui->increment(), 0);
  command("level 0 2:30 12");
  EXPECT_EQ(gui->dynamicTc.timePerControl, 150000);
  EXPECT_EQ(gui->dynamicTc.reserve, 0);
  EXPECT_EQ(gui->increment(), 12000);
  EXPECT_EQ(gui->movesToGo(), 0);
  command("time 6000");
  EXPECT_EQ(gui->dynamicTc.time.load(), 60000);

  // "st" makes the fixed controller active; "time" then replaces its limit.
  command("st 5");
  EXPECT_EQ(engine->timeController, &gui->fixedTc);
  EXPECT_EQ(gui->fixedTc.time.load(), MoveTimeBudget(5000));
  command("time 6000");
  EXPECT_EQ(gui->fixedTc.time.load(), 60000);
  EXPECT_EQ(gui->dynamicTc.time.load(), 60000);
  command("time 99999999999");
  EXPECT_EQ(gui->fixedTc.time.load(), INT32_MAX / 10 * 10);
  command("level 40 5 0");
  EXPECT_EQ(engine->timeController, &gui->dynamicTc);

  // An analysis searches without a limit; the game's controller and its settings wait for its
  // end untouched, and what "st", "time" and "level" send meanwhile is theirs.
  command("analyze");
  EXPECT_EQ(engine->timeController, &gui->unlimitedTc);
  command("exit");
  EXPECT_EQ(engine->timeController, &gui->dynamicTc);
  EXPECT_EQ(gui->dynamicTc.timePerControl, 300000);
  EXPECT_EQ(gui->dynamicTc.reserve, 3750);
  command("st 5");
  command("analyze");
  command("time 4000");
  EXPECT_EQ(gui->fixedTc.time.load(), 40000);
  command("st 3");
  EXPECT_EQ(engine->timeController, &gui->unlimitedTc);
  EXPECT_EQ(gui->unlimitedTc.time.load(), 999999999);
  command("exit");
  EXPECT_EQ(engine->timeController, &gui->fixedTc);
  EXPECT_EQ(gui->fixedTc.time.load(), MoveTimeBudget(3000));
  command("analyze");
  command("level 0 2:30 12");
  command("go");
  EXPECT_EQ(engine->timeController, &gui->dynamicTc);
  EXPECT_EQ(gui->dynamicTc.timePerControl, 150000);
  command("force");
  waitIdle();
  lines();  // the analysis's thinking lines and the move of "go"

  // The depth limit is held to what the search and the table can take.
  struct Depth {
    const char* line;
    i32 depth;
  } depths[] = {{"sd 7", 7}, {"sd 59", 59}, {"sd 60", 59}, {"sd 500", 59}, {"sd 0", 1},
                {"sd -4", 1}, {"sd", 1}, {"sd 99999999999", 59}};
  for (const Depth& d : depths) {
    command(d.line);
    EXPECT_EQ(engine->maxDepth, d.depth) << d.line;
  }
  EXPECT_TRUE(lines().empty());
}

TEST_F(XBoardFront, BoardCommands) {
  command("white");
  EXPECT_EQ(fen(), StartFen) << "White is already to move";
  u64 startKey = engine->board->key;
  command("black");
  EXPECT_EQ(SideToMove(engine->board), Black);
  EXPECT_NE(engine->board->key, startKey);
  command("black");
  EXPECT_EQ(SideToMove(engine->board), Black);
  command("white");
  EXPECT_EQ(engine->board->key, startKey);

  HistoryTable[2][5] = 9;
  command("e2e4");
  command("e7e5");
  command("setboard 4k3/8/8/8/8/8/4P3/4K3 w - - 3 40");
  EXPECT_EQ(fen(), "4k3/8/8/8/8/8/4P3/4K3 w - - 3 40");
  EXPECT_EQ(HistoryTable[2][5], 0u);
  EXPECT_EQ(engine->history->count, 0u) << "nothing from before the position to take back";
  command("undo");
  EXPECT_EQ(fen(), "4k3/8/8/8/8/8/4P3/4K3 w - - 3 40");
  for (const char* bad : {"setboard", "setboard 8/8/8/8/8/8/8/8 w - - 0 1",
                          "setboard rnbqkbnr/pppppppp/9/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1"}) {
    command(bad);
    EXPECT_EQ(lines(), std::vector<std::string>{"tellusererror Illegal position"}) << bad;
    EXPECT_EQ(fen(), "4k3/8/8/8/8/8/4P3/4K3 w - - 3 40") << bad;
  }

  // The side in check keeps the move: given up, its king could be taken.
  command("setboard 4k3/8/8/8/8/8/8/4R1K1 b - - 0 30");
  command("white");
  command("e1e8");
  EXPECT_EQ(lines(), (std::vector<std::string>{"tellusererror Illegal position", "Illegal move: e1e8"}));
  EXPECT_EQ(fen(), "4k3/8/8/8/8/8/8/4R1K1 b - - 0 30");
  // The right to take en passant goes with the move.
  command("new");
  command("force");
  command("e2e4");
  command("white");
  EXPECT_EQ(fen(), "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR w KQkq - 0 2");
  EXPECT_EQ(engine->board->key, ComputeKey(engine->board));

  // undo takes back one ply, remove two, and neither more than there is.
  command("new");
  command("force");
  for (const char* move : {"e2e4", "e7e5", "g1f3"}) command(move);
  command("remove");
  EXPECT_EQ(fen(), "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3 0 1");
  command("remove");
  EXPECT_EQ(engine->history->count, 1u) << "one entry: remove takes nothing";
  command("undo");
  EXPECT_EQ(fen(), StartFen);
  command("undo");
  EXPECT_EQ(fen(), StartFen);
  EXPECT_TRUE(lines().empty());
}

TEST_F(XBoardFront, NewStartsAGameAndKeepsTheSettings) {
  command("sd 4");
  command("st 2");
  command("force");
  command("e2e4");
  engine->history->learnDone = 1;
  engine->history->fullRestores = 5;
  command("new");
  EXPECT_EQ(fen(), StartFen);
  EXPECT_EQ(engine->history->count, 0u);
  EXPECT_EQ(engine->history->learnDone, 0);
  EXPECT_EQ(engine->history->fullRestores, 0u);
  EXPECT_EQ(engine->board->phase, Opening);
  EXPECT_EQ(gui->forceMode, 0);
  EXPECT_EQ(engine->maxDepth, 4);
  EXPECT_EQ(engine->timeController, &gui->fixedTc);
}

}  // namespace
