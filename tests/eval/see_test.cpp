// Exchange values with x-rays and king rules, the list recursion, and the king-zone count.
#include "board/board_testing.h"
#include "eval/see.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "board/fen.h"
#include "board/notation.h"

namespace {

TEST(StaticExchangeEval, TableOfExchanges) {
  struct Case {
    const char* name;
    const char* fen;
    const char* move;
    i32 value;
  } cases[] = {
      {"undefended pawn", "4k3/8/8/3p4/8/2N5/8/4K3 w - - 0 1", "c3d5", 100},
      {"quiet move onto an undefended attacked square", "4k3/8/4p3/8/8/2N5/8/4K3 w - - 0 1",
       "c3d5", -305},
      {"queen takes a defended pawn", "4k3/8/4p3/3p4/8/8/8/3QK3 w - - 0 1", "d1d5", -900},
      {"rook backed by a rook behind it", "3rk3/8/8/3p4/8/8/3R4/3RK3 w - - 0 1", "d2d5", 100},
      {"queen behind the capturing bishop", "4k3/8/5p2/4n3/8/8/1B6/Q3K3 w - - 0 1", "b2e5", 80},
      {"queen behind a recapturing bishop", "3rk3/8/2n5/8/3P4/2B5/1Q6/4K3 b - - 0 1", "c6d4",
       -205},
      {"bishop behind the capturing pawn", "4k3/8/5p2/4n3/3P4/2B5/8/4K3 w - - 0 1", "d4e5", 305},
      {"pawn before queen among the defenders", "3qk3/8/4p3/3p4/8/2N5/8/3RK3 w - - 0 1", "c3d5",
       -205},
      {"king recaptures when nothing is left", "8/8/4k3/3p4/8/8/8/3RK3 w - - 0 1", "d1d5", -400},
      {"king may not recapture a defended piece", "8/8/4k3/3p4/1N6/8/8/3RK3 w - - 0 1", "d1d5",
       100},
      {"own king recaptures last", "3r3k/8/8/3p4/4K3/8/8/3R4 w - - 0 1", "d1d5", 100},
      {"own king stays out while a defender is left", "3r3k/8/1n6/3p4/4K3/8/8/3R4 w - - 0 1",
       "d1d5", -400},
      {"en passant victim counts nothing", "4k3/2p5/8/3pP3/8/8/8/4K3 w - d6 0 1", "e5d6", -100},
      {"black to move, pawn takes defended rook", "4k3/8/4p3/3R4/8/8/3R4/4K3 b - - 0 1", "e6d5",
       400},
  };
  for (const Case& c : cases) {
    Board board;
    ASSERT_TRUE(SetFen(&board, c.fen)) << c.name;
    Board before = board;
    EXPECT_EQ(StaticExchangeEval(&board.attacks, Mv(c.move)), c.value) << c.name;
    EXPECT_EQ(std::memcmp(&before.squares, &board.squares, sizeof(board.squares)), 0);
  }
}

// The value of a capture sequence written the long way: running balances S1..Sn of the side
// that captures first, folded from the innermost term outwards.
i32 FoldedBalances(u8 mover, const std::vector<u8>& list) {
  std::vector<i32> s;
  i32 balance = PieceValue[mover];
  s.push_back(balance);
  for (size_t i = 0; i + 1 < list.size(); ++i) {
    balance += (i % 2 == 0 ? -1 : 1) * PieceValue[list[i]];
    s.push_back(balance);
  }
  if (list.empty()) return 0;
  i32 v = s.back();
  for (size_t i = s.size() - 1; i-- > 0;) v = (i % 2 == 0) ? std::min(s[i], v) : std::max(s[i], v);
  return std::max(0, v);
}

TEST(StaticExchangeEval, RecursionMatchesTheFoldedBalancesForLongLists) {
  const u8 pieces[] = {BlackPawn, WhiteKnight, BlackBishop, WhiteRook, BlackQueen, WhitePawn,
                       BlackRook, WhiteQueen, BlackKnight, WhiteBishop, BlackPawn, WhiteQueen,
                       BlackRook, WhitePawn, BlackQueen, WhiteKing};
  for (u8 mover : {WhitePawn, WhiteKnight, WhiteRook, WhiteQueen}) {
    for (size_t n = 0; n <= 16; ++n) {
      for (size_t offset = 0; offset < 4; ++offset) {
        std::vector<u8> list;
        u64 packed = 0;
        for (size_t i = 0; i < n; ++i) {
          u8 piece = pieces[(i + offset) % 16];
          list.push_back(piece);
          packed |= u64{piece} << (4 * i);
        }
        EXPECT_EQ(SeeRecurse(0, mover, static_cast<u32>(n), packed), FoldedBalances(mover, list))
            << "mover " << int(mover) << " length " << n << " offset " << offset;
      }
    }
  }
}

TEST(KingZoneAttacks, BlockIsCutAtTheEdgeAndTheKingSquareCountsTwice) {
  struct Case {
    const char* name;
    const char* fen;
    int colour;
    i32 count;
  } cases[] = {
      {"corner: a 2x2 block", "7k/8/8/8/8/2n5/7r/K7 w - - 0 1", 0, 4},
      {"edge: a 2x3 block, checks counted twice", "7k/8/8/8/7b/8/8/r3K1R1 w - - 0 1", 0, 6},
      {"the other colour's corner", "7k/8/8/8/7b/8/8/r3K1R1 w - - 0 1", 1, 2},
      {"centre: the full 3x3 block", "7k/8/1n2p3/8/3K4/8/8/8 w - - 0 1", 0, 3},
      {"nothing near the king", "7k/8/8/8/8/8/8/K7 w - - 0 1", 0, 0},
  };
  for (const Case& c : cases) {
    Board board;
    ASSERT_TRUE(SetFen(&board, c.fen)) << c.name;
    EXPECT_EQ(KingZoneAttacks(&board, c.colour), c.count) << c.name;
  }
}

}  // namespace
