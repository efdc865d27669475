// The book files: checked loading, learning into learn.book, growth and failed writes.
#include <gtest/gtest.h>

#include "book/book_fixture.h"

namespace {

TEST_F(BookFileTest, LoadingAcceptsOnlyAWholeImage) {
  BookEntry entry{KeyAfter(StartFen, {"e2e4"}), 3, 1};
  u32 home = static_cast<u32>(entry.key) % 8;
  std::string good = Image(8, {});
  std::memcpy(&good[4 + 16 * home], &entry, 16);

  struct Case {
    const char* what;
    std::string bytes;
    u32 capacity;  // 0: the book must come out empty
    bool message;
  } cases[] = {
      {"whole image", good, 8, false},
      {"one byte short", good.substr(0, good.size() - 1), 0, true},
      {"one byte long", good + "x", 0, true},
      {"capacity only", good.substr(0, 4), 0, true},
      {"short header", good.substr(0, 3), 0, true},
      {"empty file", "", 0, true},
      {"capacity 0", Image(0, {}), 0, false},
      {"capacity beyond 32-bit sizes", std::string("\xff\xff\xff\x7f", 4) + good.substr(4), 0, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    writeBytes("tervik.book", c.bytes);
    TestBook t(4, &board);
    t.put(99, 1, 1);
    ::testing::internal::CaptureStderr();
    LoadBook(&t.book, "tervik.book");
    std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(t.book.capacity, c.capacity);
    EXPECT_EQ(!err.empty(), c.message) << err;
    if (c.capacity) {
      EXPECT_EQ(t.book.used, 1u);
      const BookEntry* slot = FindBookSlot(&t.book, entry.key);
      ASSERT_NE(slot, nullptr);
      EXPECT_EQ(slot->countA, 3u);
      EXPECT_EQ(slot->countB, 1u);
    } else {
      EXPECT_EQ(t.book.used, 0u);
      EXPECT_EQ(FindBookSlot(&t.book, 99), nullptr);
    }
  }
}

TEST_F(BookFileTest, AMissingFileEmptiesTheBookQuietly) {
  TestBook t(4, &board);
  t.put(99, 1, 1);
  ::testing::internal::CaptureStderr();
  LoadBook(&t.book, "tervik.book");
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
  EXPECT_EQ(t.book.used, 0u);
  BookEntry* slot = FindBookSlot(&t.book, 99);
  ASSERT_NE(slot, nullptr);
  EXPECT_EQ(slot->key, 0u) << "the old capacity stays, every slot empty";
}

// Reads learn.book back as a book.
TEST_F(BookFileTest, LearningCreditsTheEnginesOwnMovesByResult) {
  struct Case {
    int code;
    u32 countA, countB;
  } cases[] = {{LearnWhiteWon, 1, 0}, {LearnBlackWon, 0, 1}, {LearnDraw, 1, 1}};
  // A game where the engine plays White; every position is in neither book, so with the
  // default learn_oubext 2 the replay credits ply 0 and stops at ply 2 (third out of book).
  for (const Case& c : cases) {
    SCOPED_TRACE(c.code);
    fs::remove("learn.book");
    history->count = 0;
    history->learnDone = 0;
    ASSERT_TRUE(SetFen(&board, StartFen));
    play({"e2e4", "e7e5", "g1f3", "b8c6"}, true);
    Board before = board;
    BookPair pair{Book{nullptr, &board, 0, 0}, Book{nullptr, &board, 0, 0}, &board};
    LearnOnResult(&pair, history.get(), c.code);
    EXPECT_EQ(board.key, before.key);
    EXPECT_EQ(history->learnDone, 1);
    EXPECT_EQ(pair.learnBook.capacity, LearnBookStartCapacity);
    EXPECT_EQ(pair.learnBook.used, 1u);
    EXPECT_EQ(fs::file_size("learn.book"), 262148u);
    EXPECT_FALSE(fs::exists("learn.book.tmp"));
    LoadedBook loaded(&board);
    EXPECT_EQ(loaded.counts(history->entries[0].key), std::make_pair(c.countA, c.countB));
    EXPECT_EQ(loaded.counts(history->entries[1].key).first, ~0u) << "opponent move";
    EXPECT_EQ(loaded.counts(history->entries[2].key).first, ~0u) << "past the out-of-book run";
    delete[] pair.learnBook.table;
  }
}

TEST_F(BookFileTest, KnownPositionsExtendTheReplayAndRepeatsCountTwice) {
  ASSERT_TRUE(SetFen(&board, StartFen));
  // Knights out and back twice: the engine (White) reaches the start position's twin again.
  play({"g1f3", "g8f6", "f3g1", "f6g8", "g1f3", "g8f6", "f3g1", "f6g8"}, true);
  TestBook main(64, &board);
  for (u32 i = 0; i < history->count; ++i) main.put(history->entries[i].key, 0, 0);
  BookPair pair{main.book, Book{nullptr, &board, 0, 0}, &board};
  LearnOnResult(&pair, history.get(), LearnWhiteWon);
  LoadedBook loaded(&board);
  EXPECT_EQ(loaded.counts(history->entries[0].key), std::make_pair(2u, 0u));
  EXPECT_EQ(loaded.counts(history->entries[2].key), std::make_pair(2u, 0u));
  EXPECT_EQ(loaded.counts(history->entries[1].key).first, ~0u);
  delete[] pair.learnBook.table;
}

TEST_F(BookFileTest, LimitsOfTheReplay) {
  ASSERT_TRUE(SetFen(&board, StartFen));
  play({"e2e4", "e7e5", "g1f3", "b8c6", "f1c4"}, true);
  TestBook main(64, &board);
  for (u32 i = 0; i < history->count; ++i) main.put(history->entries[i].key, 0, 0);
  struct Case {
    const char* what;
    i32 maxply, oubext;
    bool inMain;
    u32 credited;  // engine plies 0, 2, 4 credited in order
  } cases[] = {
      {"learn_maxply 0: the first ply only", 0, 2, true, 1},
      {"learn_maxply 2", 2, 2, true, 2},
      {"all known", 24, 2, true, 3},
      {"learn_oubext 0 ends at the first unknown position", 24, 0, false, 0},
      {"learn_oubext 1", 24, 1, false, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    learn_maxply = c.maxply;
    learn_oubext = c.oubext;
    Book empty{nullptr, &board, 0, 0};
    BookPair pair{c.inMain ? main.book : empty, Book{nullptr, &board, 0, 0}, &board};
    LearnOnResult(&pair, history.get(), LearnDraw);
    EXPECT_EQ(pair.learnBook.used, c.credited);
    delete[] pair.learnBook.table;
  }
}

TEST_F(BookFileTest, OtherCodesChangeAndWriteNothing) {
  play({"e2e4"}, true);
  BookPair pair{Book{nullptr, &board, 0, 0}, Book{nullptr, &board, 0, 0}, &board};
  for (int code : {0, 1, 3, 7, 9}) LearnOnResult(&pair, history.get(), code);
  EXPECT_EQ(pair.learnBook.table, nullptr);
  EXPECT_FALSE(fs::exists("learn.book"));
  EXPECT_EQ(history->learnDone, 0);
}

TEST_F(BookFileTest, AnEmptyGameStillRewritesTheFile) {
  BookPair pair{Book{nullptr, &board, 0, 0}, Book{nullptr, &board, 0, 0}, &board};
  LearnOnResult(&pair, history.get(), LearnDraw);
  EXPECT_EQ(fs::file_size("learn.book"), 262148u);
  EXPECT_EQ(history->learnDone, 1);
  EXPECT_EQ(pair.learnBook.used, 0u);
  delete[] pair.learnBook.table;
}

TEST_F(BookFileTest, TheTableGrowsPastNinetyOnePercentAndKeepsItsEntries) {
  play({"e2e4"}, true);
  TestBook learn(LearnBookStartCapacity, &board);
  // 14896 x 110 / 100 = 16385 > 16384: the next credit grows the table first.
  for (u64 k = 1; learn.book.used < 14896; ++k) learn.put(k * 0x9e3779b97f4a7c15ull, 1, 2);
  BookPair pair{Book{nullptr, &board, 0, 0}, learn.book, &board};
  LearnOnResult(&pair, history.get(), LearnWhiteWon);
  EXPECT_EQ(pair.learnBook.capacity, 2 * LearnBookStartCapacity);
  EXPECT_EQ(pair.learnBook.used, 14897u);
  EXPECT_EQ(fs::file_size("learn.book"), 4u + 16u * 2 * LearnBookStartCapacity);
  for (u64 k = 1; k <= 14896; ++k) {
    const BookEntry* slot = FindBookSlot(&pair.learnBook, k * 0x9e3779b97f4a7c15ull);
    ASSERT_TRUE(slot && slot->countA == 1 && slot->countB == 2) << k;
  }
  learn.book = pair.learnBook;  // the grown table, released by TestBook
}

TEST_F(BookFileTest, AFailedWriteKeepsTheOldFileAndSaysSo) {
  play({"e2e4"}, true);
  BookPair pair{Book{nullptr, &board, 0, 0}, Book{nullptr, &board, 0, 0}, &board};
  LearnOnResult(&pair, history.get(), LearnWhiteWon);
  auto before = fs::file_size("learn.book");
  // The temporary file cannot be created where a directory of its name stands.
  fs::create_directory("learn.book.tmp");
  history->learnDone = 0;
  ::testing::internal::CaptureStderr();
  LearnFromGame(&pair, history.get(), LearnWhiteWon);
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "Kann Datei learn.book nicht schreiben !\r\n");
  EXPECT_EQ(history->learnDone, 1);
  EXPECT_EQ(fs::file_size("learn.book"), before);
  LoadedBook loaded(&board);
  EXPECT_EQ(loaded.counts(history->entries[0].key), std::make_pair(1u, 0u)) << "old file kept";
  const BookEntry* slot = FindBookSlot(&pair.learnBook, history->entries[0].key);
  EXPECT_EQ(slot->countA, 2u) << "the credit stays in memory";
  delete[] pair.learnBook.table;
}

}  // namespace
