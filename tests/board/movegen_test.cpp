// Legal generation: the special rules (pins, en passant, evasions, castling) and the fixed order.
#include <gtest/gtest.h>

#include <algorithm>

#include "board/attack_map.h"
#include "board/make_move.h"
#include "board_testing.h"

namespace {

using Texts = std::vector<std::string>;

bool Contains(const Texts& moves, const std::string& move) {
  return std::find(moves.begin(), moves.end(), move) != moves.end();
}

}  // namespace

TEST(MoveGeneration, ExactListsInGenerationOrder) {
  struct Case {
    const char* what;
    const char* fen;
    Texts moves;
  };
  const Case cases[] = {
      {"start position: pawns from the last list entry, then knights, each list from its end",
       StartFen,
       {"h2h3", "h2h4", "g2g3", "g2g4", "f2f3", "f2f4", "e2e3", "e2e4", "d2d3", "d2d4", "c2c3", "c2c4",
        "b2b3", "b2b4", "a2a3", "a2a4", "g1h3", "g1f3", "b1c3", "b1a3"}},
      {"promotions queen, knight, rook, bishop",
       "4k3/P7/8/8/8/8/8/7K w - - 0 1",
       {"a7a8q", "a7a8n", "a7a8r", "a7a8b", "h1h2", "h1g1", "h1g2"}},
      {"evasions: king steps, then blocks from the king outward, the checker last",
       "7k/R3r3/8/8/8/2N5/8/4K3 w - - 0 1",
       {"e1f2", "e1f1", "e1d1", "e1d2", "c3e2", "c3e4", "a7e7"}},
      {"a king checked along the rank cannot step away along it",
       "7k/8/8/8/8/8/8/r3K3 w - - 0 1",
       {"e1e2", "e1f2", "e1d2"}},
      {"three checkers: king moves only",
       "7k/4r3/8/b7/8/3n4/8/4K3 w - - 0 1",
       {"e1f1", "e1d1"}},
      {"en passant that would expose the king along the rank is not generated",
       "8/8/8/KPp4r/8/8/8/7k w - c6 0 1",
       {"b5b6", "a5a6", "a5b6", "a5a4"}},
      {"a pinned bishop stays on its line, capturing the pinner",
       "4k3/8/8/8/1b6/8/3B4/4K3 w - - 0 1",
       {"d2c3", "d2b4", "e1e2", "e1f2", "e1f1", "e1d1"}},
      {"a pawn check answered by en passant",
       "8/8/8/2k5/3Pp3/8/8/4K3 b - d3 0 1",
       {"c5c6", "c5d6", "c5d5", "c5d4", "c5c4", "c5b4", "c5b5", "c5b6", "e4d3"}},
  };
  for (const Case& c : cases) {
    LoadedBoard board(c.fen);
    EXPECT_EQ(LegalMoveTexts(board.get()), c.moves) << c.what;
  }
}

TEST(MoveGeneration, CountsAndTerminalPositions) {
  LoadedBoard start(StartFen);
  EXPECT_EQ(CountLegalMoves(start.get()), 20);
  MakeMove(start.get(), WhitePawn, Mv("e2e4"));
  EXPECT_EQ(CountLegalMoves(start.get()), 20);

  LoadedBoard stalemate("7k/5Q2/6K1/8/8/8/8/8 b - - 0 1");
  EXPECT_EQ(CountLegalMoves(stalemate.get()), 0);
  EXPECT_FALSE(InCheck(stalemate.get()));
  LoadedBoard mate("7k/6Q1/6K1/8/8/8/8/8 b - - 0 1");
  EXPECT_EQ(CountLegalMoves(mate.get()), 0);
  EXPECT_TRUE(InCheck(mate.get()));
}

TEST(MoveGeneration, CastlingNeedsEmptyAndUnattackedSquares) {
  struct Case {
    const char* fen;
    bool queenSide, kingSide;
  };
  const Case cases[] = {
      {"r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1", true, true},
      {"1r2k2r/8/8/8/8/8/8/R3K2R w KQk - 0 1", true, true},    // b1 attacked: O-O-O still allowed
      {"4kr2/8/8/8/8/8/8/R3K2R w KQ - 0 1", true, false},       // f1 attacked
      {"3rk3/8/8/8/8/8/8/R3K2R w KQ - 0 1", false, true},       // d1 attacked
      {"4k3/8/8/8/8/8/8/RN2K1NR w KQ - 0 1", false, false},     // b1 and g1 occupied
      {"4k3/8/8/8/8/8/8/R3K2R w - - 0 1", false, false},        // no rights
      {"4k3/8/8/8/8/8/8/R3K2R w Q - 0 1", true, false},
  };
  for (const Case& c : cases) {
    LoadedBoard board(c.fen);
    Texts moves = LegalMoveTexts(board.get());
    EXPECT_EQ(Contains(moves, "e1c1"), c.queenSide) << c.fen;
    EXPECT_EQ(Contains(moves, "e1g1"), c.kingSide) << c.fen;
  }
  LoadedBoard black("r3k2r/8/8/8/8/8/8/4K2R b kq - 0 1");  // h1 rook covers h8? no: f8 and g8 are free
  Texts moves = LegalMoveTexts(black.get());
  EXPECT_TRUE(Contains(moves, "e8c8"));
  EXPECT_TRUE(Contains(moves, "e8g8"));
}

TEST(MoveGeneration, KnightCheckerFoundAnywhereInALongList) {
  // The checking knight on b1 is the tenth entry of White's knight list.
  LoadedBoard board("1r1N1N1N/2N1N1N1/3N1N1N/8/8/k7/8/1N5K b - - 0 1");
  ASSERT_EQ(board->pieceLists[WhiteKnight].count, 10);
  ASSERT_TRUE(InCheck(board.get()));
  EXPECT_TRUE(Contains(LegalMoveTexts(board.get()), "b8b1"));
}

TEST(MoveGeneration, CapturesGiveQueenPromotionsOnly) {
  LoadedBoard board("1n2k3/P7/8/8/8/8/8/4K3 w - - 0 1");
  MoveList list;
  list.count = 0;
  GenerateCaptures(board.get(), &list);
  EXPECT_EQ(MoveTexts(list), (Texts{"a7a8q", "a7b8q"}));
}

TEST(MoveGeneration, IsLegalMoveComparesTheWholeWord) {
  LoadedBoard board(StartFen);
  EXPECT_TRUE(IsLegalMove(board.get(), Mv("e2e4")));
  EXPECT_FALSE(IsLegalMove(board.get(), MakeMoveWord(Sq("e2"), Sq("e4"), 0)));
  EXPECT_FALSE(IsLegalMove(board.get(), Mv("e2e5")));
  LoadedBoard promotion("4k3/P7/8/8/8/8/8/4K3 w - - 0 1");
  EXPECT_TRUE(IsLegalMove(promotion.get(), Mv("a7a8n")));
  EXPECT_FALSE(IsLegalMove(promotion.get(), Mv("a7a8")));
}
