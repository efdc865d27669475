// Boards set up on one thread while another generates and makes moves: the process-wide
// tables are built once, so this must be free of data races (checked in the ThreadSanitizer build).
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "board/make_move.h"
#include "board_testing.h"

TEST(BoardThreads, SettingUpBoardsWhileAnotherThreadPlays) {
  std::atomic<bool> done{false};
  std::thread player([&] {
    Board board;
    SetFen(&board, "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1");
    Board saved = board;
    for (int round = 0; round < 200; ++round) {
      MoveList list;
      list.count = 0;
      GenerateLegalMoves(&board, &list);
      for (i32 i = 0; i < list.count; ++i) {
        MakeMove(&board, board.squares[MoveFrom(list.moves[i])], list.moves[i]);
        board = saved;
      }
    }
    done = true;
  });
  // At least one board, however soon the player is done on a busy machine.
  int tries = 0;
  int loaded = 0;
  do {
    Board board;
    loaded += SetFen(&board, StartFen) && CountLegalMoves(&board) == 20;
    ++tries;
  } while (!done);
  player.join();
  EXPECT_EQ(loaded, tries);
}
