// The books' test fixtures: a position key after moves, a book that owns its table, and a
// fresh working folder with a game history for loading and learning.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <unistd.h>

#include "board/board_testing.h"
#include "board/fen.h"
#include "board/make_move.h"
#include "book/book.h"
#include "config/params.h"
#include "search/game_history.h"
namespace fs = std::filesystem;

inline u64 KeyAfter(const char* fen, std::initializer_list<const char*> moves) {
  Board board;
  EXPECT_TRUE(SetFen(&board, fen));
  for (const char* text : moves) {
    u32 move = Mv(text);
    MakeMove(&board, board.squares[MoveFrom(move)], move);
  }
  return board.key;
}

// A book that owns its table (LoadBook and growth may replace it).
struct TestBook {
  Book book;
  BookEntry* table;  // the first table, for looking at slots
  TestBook(u32 capacity, Board* board) : table(new BookEntry[capacity]()) {
    book = Book{table, board, capacity, 0};
  }
  ~TestBook() { delete[] book.table; }
  void put(u64 key, u32 countA, u32 countB) {
    BookEntry* slot = FindBookSlot(&book, key);
    ASSERT_NE(slot, nullptr);
    if (slot->key == 0) book.used += 1;
    *slot = BookEntry{key, countA, countB};
  }
};

class BookTest : public ::testing::Test {
 protected:
  void SetUp() override {
    RegisterParams();
    ASSERT_TRUE(SetFen(&board, StartFen));
  }
  void TearDown() override { RegisterParams(); }

  Board board;
};

// Each test of loading and learning runs in a fresh directory: learn.book lives in the
// working directory.
class BookFileTest : public BookTest {
 protected:
  void SetUp() override {
    BookTest::SetUp();
    old = fs::current_path();
    dir = fs::temp_directory_path() / ("tervik-book-" + std::to_string(::getpid()) + "-" +
                                       ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir);
    fs::create_directories(dir);
    fs::current_path(dir);
    history.reset(new GameHistory());
    history->board = &board;
    history->count = 0;
    history->learnDone = 0;
  }
  void TearDown() override {
    fs::current_path(old);
    fs::remove_all(dir);
    BookTest::TearDown();
  }

  void writeBytes(const char* name, const std::string& bytes) {
    std::ofstream(name, std::ios::binary) << bytes;
  }
  void play(std::initializer_list<const char*> moves, bool engineFirst) {
    bool engine = engineFirst;
    for (const char* text : moves) {
      PushGameMove(history.get(), Mv(text), engine ? 1 : 0);
      engine = !engine;
    }
  }

  fs::path old, dir;
  std::unique_ptr<GameHistory> history;
};


inline std::string Image(u32 capacity, std::initializer_list<BookEntry> entries) {
  std::string bytes(4 + 16 * static_cast<size_t>(capacity), '\0');
  for (int i = 0; i < 4; ++i) bytes[i] = static_cast<char>(capacity >> (8 * i));
  size_t slot = 0;
  for (const BookEntry& entry : entries) std::memcpy(&bytes[4 + 16 * slot++], &entry, 16);
  return bytes;
}

struct LoadedBook {
  Book book{nullptr, nullptr, 0, 0};
  explicit LoadedBook(Board* board) {
    book.board = board;
    LoadBook(&book, "learn.book");
  }
  ~LoadedBook() { delete[] book.table; }
  std::pair<u32, u32> counts(u64 key) const {
    const BookEntry* slot = FindBookSlot(&book, key);
    if (!slot || slot->key != key) return {~0u, ~0u};
    return {slot->countA, slot->countB};
  }
};

