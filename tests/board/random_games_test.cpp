// Long random legal games: after every move the incrementally kept record (attack map, keys,
// lists, bitboards, material, phase) must equal one computed afresh from the squares.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>

#include "board/attack_map.h"
#include "board/make_move.h"
#include "board/zobrist.h"
#include "board_testing.h"

namespace {

struct Seen {
  int castles = 0, enPassants = 0, promotions = 0, underPromotions = 0, checks = 0;
};

std::vector<u8> Sorted(const PieceList& list) {
  std::vector<u8> squares(list.squares, list.squares + list.count);
  std::sort(squares.begin(), squares.end());
  return squares;
}

void ExpectMatchesFreshRecord(const Board* board, const std::string& context) {
  Board fresh;
  ASSERT_TRUE(SetFen(&fresh, GetFen(board).c_str())) << context;
  EXPECT_EQ(board->key, ComputeKey(board)) << context;
  EXPECT_EQ(board->key, fresh.key) << context;
  EXPECT_EQ(board->pawnKingKey, fresh.pawnKingKey) << context;
  EXPECT_EQ(std::memcmp(board->attacks.words, fresh.attacks.words, sizeof(fresh.attacks.words)), 0) << context;
  EXPECT_EQ(board->attacks.attacked[0], fresh.attacks.attacked[0]) << context;
  EXPECT_EQ(board->attacks.attacked[1], fresh.attacks.attacked[1]) << context;
  EXPECT_EQ(board->attacks.board, board) << context;
  for (u32 c = 0; c < 2; ++c) {
    EXPECT_EQ(board->material[c], fresh.material[c]) << context;
    EXPECT_EQ(board->pieceCount[c], fresh.pieceCount[c]) << context;
    EXPECT_EQ(board->occupied[c], fresh.occupied[c]) << context;
    EXPECT_EQ(board->pawnBits[c], fresh.pawnBits[c]) << context;
  }
  for (int piece = 0; piece < 12; ++piece)
    EXPECT_EQ(Sorted(board->pieceLists[piece]), Sorted(fresh.pieceLists[piece])) << context << " list " << piece;
  EXPECT_EQ(board->phase, fresh.phase) << context;
  EXPECT_EQ(board->epSquare, fresh.epSquare) << context;
  EXPECT_EQ(std::memcmp(board->castleRights, fresh.castleRights, 4), 0) << context;
}

// Captures, queen promotions and en passant, in generation order, when not in check.
std::vector<u32> ExpectedCaptures(const Board* board, const MoveList& legal) {
  std::vector<u32> captures;
  for (i32 i = 0; i < legal.count; ++i) {
    u32 move = legal.moves[i];
    u8 mover = board->squares[MoveFrom(move)];
    bool capture = board->squares[MoveTo(move)] != Empty ||
                   (TypeOf(mover) == TypeOf(WhitePawn) && MoveTo(move) == board->epSquare);
    u32 promotion = MovePromotion(move);
    if ((capture && (promotion == NoPromotion || promotion == WhiteQueen)) || promotion == WhiteQueen)
      captures.push_back(move);
  }
  return captures;
}

void PlayRandomGames(const char* fen, int games, int plies, std::mt19937* random, Seen* seen) {
  for (int game = 0; game < games; ++game) {
    Board board;
    ASSERT_TRUE(SetFen(&board, fen)) << fen;
    for (int ply = 0; ply < plies; ++ply) {
      MoveList legal;
      legal.count = 0;
      GenerateLegalMoves(&board, &legal);
      if (legal.count == 0) break;

      MoveList captures;
      captures.count = 0;
      GenerateCaptures(&board, &captures);
      std::vector<u32> got(captures.moves, captures.moves + captures.count);
      if (InCheck(&board)) {
        ++seen->checks;
        EXPECT_EQ(got, std::vector<u32>(legal.moves, legal.moves + legal.count)) << GetFen(&board);
      } else {
        EXPECT_EQ(got, ExpectedCaptures(&board, legal)) << GetFen(&board);
      }

      // Every generated move keeps the mover's king safe.
      u32 mover = SideToMove(&board);
      for (i32 i = 0; i < legal.count; ++i) {
        Board copy = board;
        copy.attacks.board = &copy;
        MakeMove(&copy, copy.squares[MoveFrom(legal.moves[i])], legal.moves[i]);
        EXPECT_FALSE(IsKingAttacked(&copy, mover)) << GetFen(&board) << " " << MoveToText(legal.moves[i]);
      }

      // Special moves are rare in random play: take one half the time when there is one.
      std::vector<u32> special;
      for (i32 i = 0; i < legal.count; ++i) {
        u32 m = legal.moves[i];
        u8 p = board.squares[MoveFrom(m)];
        bool twoFiles = FileOf(MoveFrom(m)) + 2 == FileOf(MoveTo(m)) || FileOf(MoveTo(m)) + 2 == FileOf(MoveFrom(m));
        if ((TypeOf(p) == TypeOf(WhiteKing) && twoFiles) ||
            (TypeOf(p) == TypeOf(WhitePawn) && MoveTo(m) == board.epSquare))
          special.push_back(m);
      }
      u32 move = !special.empty() && (*random)() % 2 ? special[(*random)() % special.size()]
                                                      : legal.moves[(*random)() % legal.count];
      u8 piece = board.squares[MoveFrom(move)];
      std::string context = GetFen(&board) + " " + MoveToText(move);
      if (std::find(special.begin(), special.end(), move) != special.end())
        ++(TypeOf(piece) == TypeOf(WhiteKing) ? seen->castles : seen->enPassants);
      if (MovePromotion(move) != NoPromotion) {
        ++seen->promotions;
        if (MovePromotion(move) != WhiteQueen) ++seen->underPromotions;
      }
      MakeMove(&board, piece, move);
      ExpectMatchesFreshRecord(&board, context);
      if (::testing::Test::HasFailure()) return;
    }
  }
}

}  // namespace

TEST(RandomGames, IncrementalRecordEqualsAFreshOne) {
  std::mt19937 random(20240611);
  Seen seen;
  const char* starts[] = {
      StartFen,
      "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
      "r3k2r/Pppp1ppp/1b3nbN/nP6/BBP1P3/q4N2/Pp1P2PP/R2Q1RK1 w kq - 0 1",
      "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1",
      "r3k2r/1pp2ppp/8/3pP3/3Pp3/8/1PPP1PPP/R3K2R w KQkq d6 0 1",
      "4k3/PPP3PP/8/8/8/8/ppp3pp/4K3 w - - 0 1",
      "n1n1k1n1/PP4PP/8/8/8/8/pp4pp/N1N1K1N1 b - - 0 1",
  };
  for (const char* fen : starts) {
    PlayRandomGames(fen, 40, 160, &random, &seen);
    if (HasFailure()) return;
  }
  // The games must have passed through the special moves.
  EXPECT_GT(seen.castles, 20);
  EXPECT_GT(seen.enPassants, 20);
  EXPECT_GT(seen.promotions, 100);
  EXPECT_GT(seen.underPromotions, 50);
  EXPECT_GT(seen.checks, 100);
}
