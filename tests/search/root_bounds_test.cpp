// What the root's reports say of their scores: a fail high and a score taken from a child's
// bound arrive as bounds, and an exact mate score is a mate its line plays out.
#include <gtest/gtest.h>

#include <string>

#include "search_testing.h"

namespace {

using namespace search_testing;

// Black mates in 3 (d2e2). With the shipped network the search of depth 4 fails low three
// times and then takes, in its widest window, a child's bound for its score; depth 5 fails
// high three times: each of these was once reported as an exact mate in 137, 132, 107 or 7.
const char MateInThree[] = "8/8/6pk/4P2p/6b1/4P1P1/3q3P/4NK2 b - - 21 59";

class RootBoundsTest : public SearchFixture {
 protected:
  void UseShippedNetwork() {
    const std::string path = std::string(TERVIK_SOURCE_DIR) + "/nets/gen6.nnue";
    NetworkLoadResult result = ReadNetwork(path.c_str(), &Network);
    ASSERT_EQ(result.status, 0) << result.message;
    material_only = 0;
  }

  // Whether the line plays out the mate its score claims: exactly as many plies as the score
  // says, ending in checkmate of the side the score says; a line that stops short must leave
  // the mate in the plies that remain.
  static ::testing::AssertionResult PlaysOutItsMate(Board* start, const PVLine& line) {
    Board board = *start;
    board.attacks.board = &board;
    const i32 plies = MateScore - (line.score < 0 ? -line.score : line.score);
    if (line.length > plies) return ::testing::AssertionFailure() << "longer than the mate";
    for (i32 i = 0; i < line.length; ++i) {
      if (!IsLegalMove(&board, line.moves[i]))
        return ::testing::AssertionFailure() << "illegal move " << Text(line.moves[i]);
      MakeMove(&board, board.squares[MoveFrom(line.moves[i])], line.moves[i]);
    }
    const i32 left = plies - line.length;
    // The winner is to move when the plies left are odd.
    const bool winnerToMove = left % 2 == 1;
    const bool rootWins = line.score > 0;
    const bool rootToMove = line.length % 2 == 0;
    if (winnerToMove != (rootWins == rootToMove))
      return ::testing::AssertionFailure() << "the mate falls to the wrong side";
    bool mates;
    if (left == 0) {
      mates = CountLegalMoves(&board) == 0 && InCheck(&board);
    } else if (winnerToMove) {
      mates = MatesIn(&board, (left + 1) / 2);
    } else {
      MoveList replies;
      replies.count = 0;
      GenerateLegalMoves(&board, &replies);
      mates = replies.count > 0;
      for (i32 i = 0; i < replies.count && mates; ++i) {
        Board after = board;
        after.attacks.board = &after;
        MakeMove(&after, after.squares[MoveFrom(replies.moves[i])], replies.moves[i]);
        mates = MatesIn(&after, left / 2);
      }
    }
    if (!mates) return ::testing::AssertionFailure() << "no mate in " << plies << " plies";
    return ::testing::AssertionSuccess();
  }
};

TEST_F(RootBoundsTest, FailedWindowsAreBoundsAndExactMatesArePlayedOut) {
  UseShippedNetwork();
  for (u32 lines : {1u, 3u}) {
    SCOPED_TRACE(lines);
    SetPosition(MateInThree);
    // The window of the root pass each report comes from.
    std::vector<std::pair<i32, i32>> windows;
    listener.calls.clear();
    listener.onCall = [&](const PVLine*, i32) {
      windows.emplace_back(engine->frames[0].alpha, engine->frames[0].beta);
    };
    Run(9, lines);
    ASSERT_FALSE(listener.calls.empty());
    int bounds = 0;
    for (size_t i = 0; i < listener.calls.size(); ++i) {
      const PVLine& line = listener.calls[i].line;
      SCOPED_TRACE("depth " + std::to_string(listener.calls[i].depth) + " score " +
                   std::to_string(line.score));
      if (line.score >= windows[i].second) {
        EXPECT_EQ(int{line.bound}, int{PVLowerBound});
      }
      if (line.bound != PVExact) {
        ++bounds;
      } else if (InMateBand(line.score)) {
        EXPECT_TRUE(PlaysOutItsMate(engine->board, line));
      }
    }
    // The failed windows above were seen, as bounds.
    EXPECT_GT(bounds, 0);
    EXPECT_EQ(engine->frames[0].line.score, MateScore - 5);
    EXPECT_EQ(int{engine->frames[0].line.bound}, int{PVExact});
  }
}

}  // namespace
