// MakeMove on the special cases: keys, rights, en passant, promotions, clocks and list order.
#include <gtest/gtest.h>

#include "board/attack_map.h"
#include "board/make_move.h"
#include "board/zobrist.h"
#include "board_testing.h"

namespace {

void Play(Board* board, const char* move) {
  u32 word = Mv(move);
  MakeMove(board, board->squares[MoveFrom(word)], word);
}

std::vector<std::string> ListSquares(const Board* board, u8 piece) {
  std::vector<std::string> squares;
  const PieceList& list = board->pieceLists[piece];
  for (int i = 0; i < list.count; ++i)
    squares.push_back({static_cast<char>('a' + FileOf(list.squares[i])), static_cast<char>('1' + RankOf(list.squares[i]))});
  return squares;
}

}  // namespace

TEST(MakeMove, DoubleStepSetsTheEnPassantSquareEvenWithoutACapturer) {
  LoadedBoard board(StartFen);
  u64 before = board->key;
  Play(board.get(), "e2e4");
  EXPECT_EQ(board->epSquare, Sq("e3"));
  EXPECT_EQ(board->key, before ^ ZobristPieceSquare[WhitePawn][Sq("e2")] ^ ZobristPieceSquare[WhitePawn][Sq("e4")] ^
                            ZobristEnPassant[64] ^ ZobristEnPassant[Sq("e3")] ^ ZobristSide);
  EXPECT_EQ(board->halfMoveClock, 0);
  EXPECT_EQ(board->gamePly, 1u);
  Play(board.get(), "g8f6");
  EXPECT_EQ(board->epSquare, NoSquare);
  EXPECT_EQ(board->halfMoveClock, 1);
  Play(board.get(), "b1c3");
  EXPECT_EQ(board->halfMoveClock, 2);
  Play(board.get(), "f6e4");
  EXPECT_EQ(board->halfMoveClock, 0);
  EXPECT_EQ(board->material[White], 3960);
}

TEST(MakeMove, CastlingMovesTheRookAndClearsBothRights) {
  LoadedBoard board("r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 5 1");
  u64 key = board->key, pawnKing = board->pawnKingKey;
  Play(board.get(), "e1g1");
  EXPECT_EQ(board->squares[Sq("f1")], WhiteRook);
  EXPECT_EQ(board->squares[Sq("h1")], Empty);
  EXPECT_EQ(board->castleRights[0] | board->castleRights[2], 0);
  EXPECT_EQ(board->castleRights[1] & board->castleRights[3], 1);
  EXPECT_EQ(board->pawnKingKey,
            pawnKing ^ ZobristPieceSquare[WhiteKing][Sq("e1")] ^ ZobristPieceSquare[WhiteKing][Sq("g1")]);
  EXPECT_EQ(board->key, key ^ ZobristPieceSquare[WhiteKing][Sq("e1")] ^ ZobristPieceSquare[WhiteKing][Sq("g1")] ^
                            ZobristPieceSquare[WhiteRook][Sq("h1")] ^ ZobristPieceSquare[WhiteRook][Sq("f1")] ^
                            ZobristCastle[0] ^ ZobristCastle[2] ^ ZobristSide);
  EXPECT_EQ(board->halfMoveClock, 6);
  Play(board.get(), "e8c8");
  EXPECT_EQ(board->squares[Sq("d8")], BlackRook);
  EXPECT_EQ(board->squares[Sq("a8")], Empty);
  EXPECT_EQ(board->castleRights[1] | board->castleRights[3], 0);
}

TEST(MakeMove, RookMovesAndRookCapturesClearTheirCorner) {
  LoadedBoard board("r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1");
  Play(board.get(), "a1a8");  // captures the a8 rook: both queen-side rights go
  EXPECT_EQ(board->castleRights[0], 0);
  EXPECT_EQ(board->castleRights[1], 0);
  EXPECT_EQ(board->castleRights[2], 1);
  EXPECT_EQ(board->castleRights[3], 1);
  Play(board.get(), "h8h7");
  EXPECT_EQ(board->castleRights[3], 0);
  EXPECT_EQ(board->castleRights[2], 1);
}

TEST(MakeMove, PromotionCapturingTheCornerRook) {
  LoadedBoard board("r3k2r/6P1/8/8/8/8/8/4K3 w kq - 0 1");
  Play(board.get(), "g7h8q");
  EXPECT_EQ(board->squares[Sq("h8")], WhiteQueen);
  EXPECT_EQ(board->squares[Sq("g7")], Empty);
  EXPECT_EQ(board->castleRights[3], 0);
  EXPECT_EQ(board->castleRights[1], 1);
  EXPECT_EQ(board->material[Black], 500);
  EXPECT_EQ(board->material[White], 1000);
  EXPECT_EQ(board->pieceCount[White], 2u);
  EXPECT_EQ(board->pawnBits[White], 0u);
  EXPECT_EQ(board->pieceLists[WhitePawn].count, 0);
  EXPECT_EQ(ListSquares(board.get(), WhiteQueen), (std::vector<std::string>{"h8"}));
  EXPECT_EQ(board->key, ComputeKey(board.get()));
  EXPECT_EQ(board->pawnKingKey, ComputePawnKingKey(board.get()));
}

TEST(MakeMove, UnderPromotionGivesTheBlackPiece) {
  LoadedBoard board("4k3/8/8/8/8/8/1p6/4K3 b - - 0 1");
  Play(board.get(), "b2b1n");
  EXPECT_EQ(board->squares[Sq("b1")], BlackKnight);
  EXPECT_EQ(board->material[Black], 305);
  EXPECT_EQ(board->attacks.words[Sq("c3")][Black], KnightAttackUnit);
}

TEST(MakeMove, EnPassantRemovesThePawnBehindTheTarget) {
  LoadedBoard board("4k3/8/8/3pP3/8/8/8/RN2K3 w - d6 0 1");
  EXPECT_EQ(board->phase, Endgame);
  Play(board.get(), "e5d6");
  EXPECT_EQ(board->squares[Sq("d5")], Empty);
  EXPECT_EQ(board->squares[Sq("d6")], WhitePawn);
  EXPECT_EQ(board->material[Black], 0);
  EXPECT_EQ(board->pawnBits[Black], 0u);
  EXPECT_EQ(board->epSquare, NoSquare);
  EXPECT_EQ(board->key, ComputeKey(board.get()));
}

TEST(MakeMove, PieceListsKeepTheirOrder) {
  // Pawns listed a2, b2, c2, d2: a move keeps the slot, a removal fills the hole with the last.
  LoadedBoard board("4k3/8/8/8/b7/8/PPPP4/4K3 w - - 0 1");
  Play(board.get(), "b2b4");
  EXPECT_EQ(ListSquares(board.get(), WhitePawn), (std::vector<std::string>{"a2", "b4", "c2", "d2"}));
  Play(board.get(), "a4c2");  // takes c2: d2 moves into its slot
  EXPECT_EQ(ListSquares(board.get(), WhitePawn), (std::vector<std::string>{"a2", "b4", "d2"}));
  Play(board.get(), "d2d3");
  Play(board.get(), "c2b1");
  Play(board.get(), "d3d4");
  EXPECT_EQ(ListSquares(board.get(), WhitePawn), (std::vector<std::string>{"a2", "b4", "d4"}));
}
