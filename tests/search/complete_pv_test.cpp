// Lengthening a principal variation from the transposition table: slot choice, the stops at a
// missing move, an illegal move, a cycle, a position where the game is drawn and 60 moves, and
// the board left as it was.
#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <string>
#include <vector>

#include "board/board_testing.h"
#include "board/fen.h"
#include "board/make_move.h"
#include "board/movegen.h"
#include "board/notation.h"
#include "search/game_history.h"
#include "search/pv_line.h"
#include "search/transposition_table.h"

namespace {

void Play(Board* board, u32 move) { MakeMove(board, board->squares[MoveFrom(move)], move); }

// A copy of a position that can be played on by itself: its attack map must read its own squares.
void CopyPosition(Board* copy, const Board& original) {
  *copy = original;
  copy->attacks.board = copy;
}

class CompletePvTest : public ::testing::Test {
 protected:
  void SetUp() override {
    TT.clear();
    ASSERT_TRUE(SetFen(&board, StartFen));
  }
  void TearDown() override { TT.clear(); }

  // Stores each move under the position before it, starting from the start position.
  void StoreGame(const std::vector<const char*>& moves) {
    Board walk;
    CopyPosition(&walk, board);
    for (const char* text : moves) {
      TT.store(&walk, TTExact, Mv(text), 10, 256, 0);
      Play(&walk, Mv(text));
    }
  }
  std::string LineText() const {
    std::string text;
    for (i32 i = 0; i < line.length; ++i) {
      if (i) text += ' ';
      text += MoveToText(line.moves[i]);
    }
    return text;
  }
  void SetLine(const std::vector<const char*>& moves, u8 flag = 0) {
    line = PVLine{};
    for (const char* text : moves) line.moves[line.length++] = Mv(text);
    line.flag = flag;
  }

  Board board;
  PVLine line{};
};

TEST_F(CompletePvTest, FollowsTheTableAfterTheRootLineAndRestoresTheBoard) {
  StoreGame({"e2e4", "e7e5", "g1f3", "b8c6"});
  SetLine({"e2e4", "e7e5"}, 1);
  std::string fen = GetFen(&board);
  u64 key = board.key;
  EXPECT_EQ(CompletePvLine(&board, &line), 2);
  EXPECT_EQ(LineText(), "e2e4 e7e5 g1f3 b8c6");
  EXPECT_EQ(line.flag, 0);
  EXPECT_EQ(GetFen(&board), fen);
  EXPECT_EQ(board.key, key);
  EXPECT_EQ(board.attacks.board, &board);
}

TEST_F(CompletePvTest, StopsAtACycle) {
  StoreGame({"g1f3", "g8f6", "f3g1", "f6g8"});
  SetLine({});
  EXPECT_EQ(CompletePvLine(&board, &line), 4);
  EXPECT_EQ(LineText(), "g1f3 g8f6 f3g1 f6g8");
}

TEST_F(CompletePvTest, WithTheGameEndsWhereTheGameIsDrawn) {
  // The knights' dance: the table leads round the cycle from every position of it.
  const std::vector<const char*> dance = {"g1f3", "g8f6", "f3g1", "f6g8"};
  auto history = std::make_unique<GameHistory>();
  history->board = &board;
  struct Case {
    const char* name;
    int gameMoves;              // of the dance, played before the search
    std::vector<const char*> line;
    const char* expected;
  } cases[] = {
      // Round the cycle: the first position comes back a second time, which only the cycle
      // test stops.
      {"a second occurrence", 0, {}, "g1f3 g8f6 f3g1 f6g8"},
      // The game already went round once: the first position back is its third time.
      {"completed into the third occurrence", 7, {}, "f6g8"},
      {"a root line past the draw is cut, not completed", 7, {"f6g8", "g1f3"}, "f6g8"},
      {"the draw is the root line's last move", 3, {"f6g8", "g1f3", "g8f6", "f3g1", "f6g8"},
       "f6g8 g1f3 g8f6 f3g1 f6g8"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TT.clear();
    ASSERT_TRUE(SetFen(&board, StartFen));
    StoreGame(dance);
    history->count = 0;
    for (int i = 0; i < c.gameMoves; ++i) PushGameMove(history.get(), Mv(dance[i % 4]));
    SetLine(c.line);
    const std::string fen = GetFen(&board);
    CompletePvLine(&board, &line, history.get());
    EXPECT_EQ(LineText(), c.expected);
    EXPECT_EQ(GetFen(&board), fen);
  }

  // Half-move 100: a rook ending whose table moves would shuffle on.
  ASSERT_TRUE(SetFen(&board, "8/8/4k3/8/8/4K3/8/R7 w - - 97 80"));
  history->count = 0;
  TT.clear();
  Board walk;
  CopyPosition(&walk, board);
  for (const char* text : {"a1a2", "e6d6", "a2a3", "d6e6", "a3a4"}) {
    TT.store(&walk, TTExact, Mv(text), 10, 256, 0);
    Play(&walk, Mv(text));
  }
  SetLine({});
  EXPECT_EQ(CompletePvLine(&board, &line, history.get()), 3);
  EXPECT_EQ(LineText(), "a1a2 e6d6 a2a3");
  SetLine({});
  EXPECT_EQ(CompletePvLine(&board, &line), 5);  // without the game nothing is drawn
}

TEST_F(CompletePvTest, StopsAtAnEmptyOrIllegalMove) {
  struct Case {
    const char* name;
    u32 move;
  } cases[] = {
      {"empty move", EmptyMove},
      {"from an empty square", Mv("e5e4")},
      {"the other side's piece", Mv("e4e5")},
      {"onto an own piece", Mv("d8d7")},
      {"a pawn that cannot move so", Mv("e7e4")},
      {"the null move", NoMove},
  };
  for (const Case& c : cases) {
    TT.clear();
    SetLine({"e2e4"}, 1);
    Board after;
    CopyPosition(&after, board);
    Play(&after, Mv("e2e4"));
    TT.store(&after, TTExact, c.move, 10, 256, 0);
    std::string fen = GetFen(&board);
    EXPECT_EQ(CompletePvLine(&board, &line), 0) << c.name;
    EXPECT_EQ(LineText(), "e2e4") << c.name;
    EXPECT_EQ(line.flag, 1) << c.name;
    EXPECT_EQ(GetFen(&board), fen) << c.name;
  }
}

TEST_F(CompletePvTest, ChoosesBetweenTheSlots) {
  const u64 other = board.key ^ (u64{1} << 50);  // same bucket, another position
  const u16 first = static_cast<u16>(Mv("e2e4")), second = static_cast<u16>(Mv("d2d4"));
  struct Case {
    const char* name;
    u64 key0;
    u16 move0;
    i8 depth0;
    u64 key1;
    u16 move1;
    i8 depth1;
    const char* expected;
  } cases[] = {
      {"slot 0", board.key, first, 5, board.key, second, 2, "e2e4"},
      {"deeper slot 1 wins", board.key, first, 2, board.key, second, 5, "d2d4"},
      {"equal depth keeps slot 0", board.key, first, 3, board.key, second, 3, "e2e4"},
      {"slot 0 without a move", board.key, 0, 5, board.key, second, 0, "d2d4"},
      {"slot 1 from quiescence is not used", board.key, 0, 5, board.key, second, -1, ""},
      {"slot 0 of another key", other, first, 5, board.key, second, 1, "d2d4"},
      {"slot 1 without a move", other, first, 5, board.key, 0, 3, ""},
      {"no slot matches", other, first, 5, other, second, 3, ""},
  };
  for (const Case& c : cases) {
    TT.clear();
    TTBucket* bucket = TT.bucketOf(board.key);
    bucket->slots[0] = TTEntry{c.key0, c.move0, 0, TTExact, c.depth0, {0, 0}};
    bucket->slots[1] = TTEntry{c.key1, c.move1, 0, TTExact, c.depth1, {0, 0}};
    SetLine({});
    CompletePvLine(&board, &line);
    // Only the first move is of interest: later positions have no entries.
    EXPECT_EQ(LineText(), c.expected) << c.name;
  }
}

TEST_F(CompletePvTest, StopsAtSixtyMoves) {
  // A game of 70 plies without a repeated position, each move stored under its position.
  Board walk;
  CopyPosition(&walk, board);
  std::set<u64> seen{walk.key};
  std::vector<u32> game;
  MoveList list;
  for (int ply = 0; ply < 70; ++ply) {
    list.count = 0;
    GenerateLegalMoves(&walk, &list);
    ASSERT_GT(list.count, 0);
    u32 chosen = 0;
    for (i32 i = 0; i < list.count && !chosen; ++i) {
      Board next;
      CopyPosition(&next, walk);
      u32 move = list.moves[(ply * 7 + i) % list.count];
      Play(&next, move);
      if (!seen.count(next.key)) chosen = move;
    }
    ASSERT_NE(chosen, 0u);
    TT.store(&walk, TTExact, chosen, 10, 256, 0);
    game.push_back(chosen);
    Play(&walk, chosen);
    seen.insert(walk.key);
  }
  line = PVLine{};
  EXPECT_EQ(CompletePvLine(&board, &line), 60);
  ASSERT_EQ(line.length, 60);
  for (int i = 0; i < 60; ++i) EXPECT_EQ(line.moves[i], game[i]) << i;

  // A root line of 58 moves gains two.
  line = PVLine{};
  for (int i = 0; i < 58; ++i) line.moves[line.length++] = game[i];
  EXPECT_EQ(CompletePvLine(&board, &line), 2);
  EXPECT_EQ(line.length, 60);
}

}  // namespace
