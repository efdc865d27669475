// The console commands through their entry points, with the streams they write to.
#include <gtest/gtest.h>

#include <string>

#include "board/board_testing.h"
#include "board/make_move.h"
#include "board/notation.h"
#include "book/book.h"
#include "console_fixture.h"
#include "search/history_table.h"
#include "search/transposition_table.h"
#include "tools/console_commands.h"

namespace {

using console_testing::ConsoleFixture;
using console_testing::MatchesPattern;

class ConsoleCommands : public ConsoleFixture {};

}  // namespace

TEST(ConsoleWords, ByMode) {
  for (const char* word : {"perft", "tests", "moves", "qsmoves", "evaltest", "nnue", "eval",
                           "solve", "clearhash"}) {
    EXPECT_TRUE(IsConsoleCommand(word, false)) << word;
    EXPECT_FALSE(IsConsoleCommand(word, true)) << word;
  }
  for (const char* word : {"book", "lbook", "dbook", "dump"}) {
    EXPECT_TRUE(IsConsoleCommand(word, false)) << word;
    EXPECT_TRUE(IsConsoleCommand(word, true)) << word;
  }
  for (const char* word : {"", "Perft", "perft ", "go", "dumps", "xboard"})
    EXPECT_FALSE(IsConsoleCommand(word, false)) << word;
}

TEST_F(ConsoleCommands, Perft) {
  run("perft", "1");
  // Counted within a clock tick or not, the speed is a sensible number.
  const std::string line = out.take();
  ASSERT_TRUE(MatchesPattern(line, " 1 : 20.000000 #.#s #nps\r\n")) << line;
  EXPECT_GT(std::stoll(line.substr(line.find("s  ") + 3)), 0) << line;
  run("perft", "3");
  EXPECT_EQ(out.take().substr(0, 17), " 3 : 8902.000000 ");
  EXPECT_EQ(err.take(), "");
  // Depths that Perft has no lists for are refused, with nothing counted.
  for (const char* depth : {"", "0", "15", "-2", "99999999999999999999", "x"}) {
    run("perft", depth);
    EXPECT_EQ(out.take(), "") << depth;
    EXPECT_EQ(err.take(), "perft: the depth must be 1 to 14 !\r\n") << depth;
  }
}

TEST_F(ConsoleCommands, MoveLists) {
  run("moves");
  std::string text = err.take();
  ASSERT_GE(text.size(), 4u);
  EXPECT_EQ(text.substr(text.size() - 4), ") \r\n");
  int count = 0;
  long previous = LONG_MAX;
  for (std::size_t at = 0, close; (close = text.find(") ", at)) != std::string::npos; at = close + 2) {
    const std::size_t open = text.find('(', at);
    ASSERT_LT(open, close) << text;
    u32 move = 0;
    EXPECT_TRUE(ParseCoordinateMove(&move, text.substr(at, open - at))) << text;
    long score = std::stol(text.substr(open + 1, close - open - 1));
    EXPECT_LE(score, previous) << text;
    previous = score;
    ++count;
  }
  EXPECT_EQ(count, 20);

  run("qsmoves");
  EXPECT_EQ(err.take(), "\r\n");
  // Captures with the quiescence search's order: their exchange values.
  setPosition("4k3/8/2p5/3n4/4P3/8/8/3RK3 w - - 0 1");
  run("qsmoves");
  EXPECT_EQ(err.take(), "e4d5(305) d1d5(-95) \r\n");
}

TEST_F(ConsoleCommands, Eval) {
  eval_material = 128;
  run("eval", "moves e2e4 e7e5 b1c3");
  EXPECT_EQ(err.take(),
            "rnbqkbnr/pppp1ppp/8/4p3/4P3/2N5/PPPP1PPP/R1BQKBNR b KQkq - 1 2\r\n"
            "Material      : 4060, 4060\r\n"
            "KingDanger    : 0, 0\r\n"
            "Eval: 0\r\n");
  EXPECT_EQ(engine->history->count, 3u);
  // White's view: Black to move and a knight down scores +610 at eval_material 128.
  setPosition("rnbqkb1r/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR b KQkq - 0 1");
  run("eval");
  EXPECT_EQ(err.take(), "Material      : 4060, 3755\r\nKingDanger    : 0, 0\r\nEval: 610\r\n");
  run("eval", "moves");
  const std::string text = err.take();
  EXPECT_EQ(text.rfind(GetFen(engine->board) + "\r\n", 0), 0u) << text;
}

TEST_F(ConsoleCommands, DumpClearHashAndThinkLimits) {
  run("dump");
  ASSERT_EQ(protocol.lines.size(), 2u);
  EXPECT_EQ(protocol.lines[0], StartFen);
  EXPECT_EQ(protocol.lines[1].rfind("Opening:\r\nHC: ", 0), 0u);
  EXPECT_EQ(out.take() + err.take(), "");

  TT.store(engine->board, TTExact, 0, 17, 64 * 5, 0);
  TT.age = 9;
  HistoryTable[WhiteKnight][21] = 40;
  HistoryMax = 40;
  run("clearhash");
  EXPECT_EQ(TT.age, 0u);
  EXPECT_EQ(TT.bucketOf(engine->board->key)->slots[0].key, 0u);
  EXPECT_EQ(HistoryTable[WhiteKnight][21], 0u);
  EXPECT_EQ(HistoryMax, 0u);

  engine->maxDepth = 7;
  protocol.dynamicTc.time = 12345;
  {
    std::lock_guard<std::mutex> think(engine->thinkMutex);
    PrintThinkLimits(&protocol);
  }
  EXPECT_EQ(err.take(), "Think limits: 7 ply, 12345 ms\r\n");
}

TEST_F(ConsoleCommands, Books) {
  run("book");
  run("lbook");
  run("dbook");
  EXPECT_EQ(err.take(), "No moves in book !\r\nNo moves in book !\r\nNo moves in book !\r\n");

  // e2e4 in the main book only, d2d4 in the learn book only, listed in generation order: each
  // valued with both books, a book without the position giving its prior 0.5.
  auto keyAfter = [&](const char* text) {
    Board board = *engine->board;
    board.attacks.board = &board;
    u32 move = Mv(text);
    MakeMove(&board, board.squares[MoveFrom(move)], move);
    return board.key;
  };
  BookPair* books = engine->bookPair;
  BookEntry mainTable[4] = {};
  BookEntry learnTable[4] = {};
  mainTable[keyAfter("e2e4") % 4] = {keyAfter("e2e4"), 40, 0};
  learnTable[keyAfter("d2d4") % 4] = {keyAfter("d2d4"), 0, 40};
  books->mainBook.table = mainTable;
  books->mainBook.capacity = 4;
  books->learnBook.table = learnTable;
  books->learnBook.capacity = 4;
  book_white_advantage = 0;
  book_mix = 25;
  run("book");
  books->mainBook.table = nullptr;
  books->mainBook.capacity = 0;
  books->learnBook.table = nullptr;
  books->learnBook.capacity = 0;
  EXPECT_EQ(err.take(), "e2e4 = 0.875000 \r\nd2d4 = 0.375000 \r\n");
}
