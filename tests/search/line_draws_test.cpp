// Where a line ends because the game is drawn: the third occurrence of a position, counted over
// the game's positions and the line's own, and the hundredth half-move without a capture or
// pawn move; lines that must stay whole.
#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>

#include "board/board_testing.h"
#include "search/game_history.h"
#include "search/line_draws.h"

namespace {

class LineDrawsTest : public ::testing::Test {
 protected:
  // The game as the protocols set it up: the position, then its moves on the history.
  void SetGame(const std::string& fen, const std::string& moves) {
    ASSERT_TRUE(SetFen(&board, fen.c_str())) << fen;
    history->board = &board;
    history->count = 0;
    std::istringstream words(moves);
    for (std::string move; words >> move;) {
      ASSERT_TRUE(IsLegalMove(&board, Mv(move.c_str()))) << move;
      PushGameMove(history.get(), Mv(move.c_str()));
    }
  }

  static PVLine Line(const std::string& moves) {
    PVLine line{};
    std::istringstream words(moves);
    for (std::string move; words >> move;) line.moves[line.length++] = Mv(move.c_str());
    return line;
  }

  static std::string Text(const PVLine& line) {
    std::string text;
    for (i32 i = 0; i < line.length; ++i) {
      if (i) text += ' ';
      text += MoveToText(line.moves[i]);
    }
    return text;
  }

  // The rook ending with the given half-move clock.
  static std::string Rook(int clock) {
    std::string fen = "8/8/4k3/8/8/4K3/8/R7 w - - ";
    fen += std::to_string(clock);
    fen += " 80";
    return fen;
  }

  Board board;
  std::unique_ptr<GameHistory> history = std::make_unique<GameHistory>();
};

TEST_F(LineDrawsTest, EndsAtTheFirstDrawnPositionOnly) {
  const std::string knights = "g1f3 g8f6 f3g1 f6g8 g1f3 g8f6 f3g1";
  struct Case {
    const char* name;
    std::string fen, game, line, kept;
    bool drawn;
  } cases[] = {
      {"the game's first position a third time", StartFen, knights, "f6g8 g1f3 g8f6", "f6g8",
       true},
      {"the line's own positions count", StartFen, "g1f3 g8f6 f3g1",
       "f6g8 g1f3 g8f6 f3g1 f6g8 g1f3", "f6g8 g1f3 g8f6 f3g1 f6g8", true},
      {"a second occurrence goes on", StartFen, "g1f3 g8f6", "f3g1 f6g8 g1f3 g8f6 b1c3",
       "f3g1 f6g8 g1f3 g8f6 b1c3", false},
      {"positions before a pawn move never come back", StartFen, knights,
       "e7e5 g1f3 b8c6 f3g1 c6b8 g1f3 b8c6", "e7e5 g1f3 b8c6 f3g1 c6b8 g1f3 b8c6", false},
      {"half-move 100 three moves on", Rook(97), "", "a1a2 e6d6 a2a3 d6e6 a3a4",
       "a1a2 e6d6 a2a3", true},
      {"half-move 100 after the first move", Rook(99), "", "a1a2 e6d6", "a1a2", true},
      {"a line that ends on half-move 100", Rook(98), "", "a1a2 e6d6", "a1a2 e6d6",
       true},
      {"half-move 99 is no draw", Rook(97), "", "a1a2 e6d6", "a1a2 e6d6", false},
      {"a mate on half-move 100 is no draw", "7k/8/6K1/8/8/8/8/R7 w - - 99 120", "", "a1a8",
       "a1a8", false},
      {"a capture starts the count again", "8/8/4k3/8/8/4K3/3p4/R7 w - - 98 80", "",
       "e3d2 e6d6 a1a2 d6e6", "e3d2 e6d6 a1a2 d6e6", false},
      {"an illegal move ends the line", StartFen, "", "e2e4 e2e4 e7e5", "e2e4", false},
      {"an empty line", StartFen, knights, "", "", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SetGame(c.fen, c.game);
    const std::string fen = GetFen(&board);
    const u64 key = board.key;
    PVLine line = Line(c.line);
    line.score = 17;
    line.flag = 1;
    line.bound = PVLowerBound;
    EXPECT_EQ(EndLineAtGameDraw(&board, history.get(), &line), c.drawn);
    EXPECT_EQ(Text(line), c.kept);
    // Only the moves change.
    EXPECT_EQ(line.score, 17);
    EXPECT_EQ(line.flag, 1);
    EXPECT_EQ(line.bound, PVLowerBound);
    EXPECT_EQ(GetFen(&board), fen);
    EXPECT_EQ(board.key, key);
    EXPECT_EQ(board.attacks.board, &board);
  }
}

TEST_F(LineDrawsTest, WithoutAGameOnlyTheLineCounts) {
  // A position set up without moves: the game holds only the board's own position.
  SetGame(StartFen, "");
  PVLine line = Line("g1f3 g8f6 f3g1 f6g8 g1f3 g8f6 f3g1 f6g8 g1f3");
  EXPECT_TRUE(EndLineAtGameDraw(&board, nullptr, &line));
  EXPECT_EQ(Text(line), "g1f3 g8f6 f3g1 f6g8 g1f3 g8f6 f3g1 f6g8");
}

}  // namespace
