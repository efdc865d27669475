// Pushing and taking back game moves: the drop of the oldest 256, restores, repetition keys.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "board/board_testing.h"
#include "board/fen.h"
#include "board/notation.h"
#include "board/zobrist.h"
#include "search/game_history.h"

namespace {

struct Game {
  std::unique_ptr<Board> board = std::make_unique<Board>();
  std::unique_ptr<GameHistory> history = std::make_unique<GameHistory>();
  Game() {
    SetFen(board.get(), StartFen);
    history->board = board.get();
  }
};

// Knights out and back: legal for ever, and every fourth position repeats the start.
const char* const KnightDance[4] = {"g1f3", "g8f6", "f3g1", "f6g8"};

TEST(GameHistory, PushRecordsTheBoardBeforeAndTheKeyAfter) {
  Game game;
  Board start = *game.board;
  PushGameMove(game.history.get(), Mv("e2e4"));
  const HistoryEntry& entry = game.history->entries[0];
  EXPECT_EQ(game.history->count, 1u);
  EXPECT_EQ(entry.move, Mv("e2e4"));
  EXPECT_EQ(entry.engineMove, 0);
  EXPECT_EQ(std::memcmp(&entry.before, &start, sizeof(Board)), 0);
  EXPECT_EQ(entry.key, game.board->key);
  EXPECT_NE(entry.key, start.key);
  EXPECT_EQ(game.board->squares[MakeSquare(4, 3)], WhitePawn);
}

TEST(GameHistory, RepeatedPositionsShareTheirKey) {
  Game game;
  u64 startKey = game.board->key;
  for (int i = 0; i < 8; ++i) PushGameMove(game.history.get(), Mv(KnightDance[i % 4]));
  EXPECT_EQ(game.history->entries[3].key, startKey);
  EXPECT_EQ(game.history->entries[7].key, startKey);
  EXPECT_EQ(game.history->entries[1].key, game.history->entries[5].key);
  EXPECT_NE(game.history->entries[0].key, game.history->entries[1].key);
}

TEST(GameHistory, TheMoveAfterThe1024thDropsTheOldest256) {
  Game game;
  GameHistory* history = game.history.get();
  for (u32 i = 0; i < 1024; ++i) PushGameMove(history, Mv(KnightDance[i % 4]));
  EXPECT_EQ(history->count, 1024u);
  EXPECT_EQ(history->learnDone, 0);
  u64 key256 = history->entries[256].key;
  u64 key1023 = history->entries[1023].key;
  PushGameMove(history, Mv(KnightDance[1024 % 4]));
  EXPECT_EQ(history->count, 769u);
  EXPECT_EQ(history->learnDone, 1);
  EXPECT_EQ(history->entries[0].key, key256);
  EXPECT_EQ(history->entries[767].key, key1023);
  EXPECT_EQ(history->entries[768].move, Mv(KnightDance[0]));
  EXPECT_EQ(history->entries[768].key, game.board->key);
}

TEST(GameHistory, UndoRestoresTheWholeBoardOrOnlyTheNullMoveFields) {
  Game game;
  GameHistory* history = game.history.get();
  PushGameMove(history, Mv("e2e4"));
  Board afterE4 = *game.board;

  // A null move as the search makes it: side, key and en passant change, nothing else.
  HistoryEntry& entry = history->entries[history->count];
  entry.before = *game.board;
  entry.move = NoMove;
  game.board->key ^= ZobristSide ^ ZobristEnPassant[game.board->epSquare] ^ ZobristEnPassant[64];
  game.board->epSquare = NoSquare;
  game.board->gamePly += 1;
  game.board->halfMoveClock = 77;  // not restored by a partial take-back
  entry.key = game.board->key;
  history->count += 1;

  ASSERT_TRUE(UndoMove(history));
  EXPECT_EQ(history->partialRestores, 1u);
  EXPECT_EQ(game.board->key, afterE4.key);
  EXPECT_EQ(game.board->epSquare, afterE4.epSquare);
  EXPECT_EQ(game.board->gamePly, afterE4.gamePly);
  EXPECT_EQ(game.board->halfMoveClock, 77);
  game.board->halfMoveClock = afterE4.halfMoveClock;

  Board start;
  SetFen(&start, StartFen);
  ASSERT_TRUE(UndoMove(history));
  EXPECT_EQ(history->fullRestores, 1u);
  EXPECT_EQ(history->count, 0u);
  EXPECT_EQ(GetFen(game.board.get()), StartFen);
  EXPECT_EQ(game.board->key, start.key);
  EXPECT_EQ(game.board->attacks.board, game.board.get());
}

TEST(GameHistory, UndoOnAnEmptyHistoryIsRefused) {
  Game game;
  Board before = *game.board;
  EXPECT_FALSE(UndoMove(game.history.get()));
  EXPECT_EQ(game.history->count, 0u);
  EXPECT_EQ(game.history->fullRestores, 0u);
  EXPECT_EQ(std::memcmp(&before, game.board.get(), sizeof(Board)), 0);
}

TEST(GameHistory, APushIntoASlotThatHeldAnEngineMoveRecordsZero) {
  Game game;
  PushGameMove(game.history.get(), Mv("e2e4"), 1);
  EXPECT_EQ(game.history->entries[0].engineMove, 1);
  UndoMove(game.history.get());
  PushGameMove(game.history.get(), Mv("d2d4"));
  EXPECT_EQ(game.history->entries[0].engineMove, 0);
}

}  // namespace
