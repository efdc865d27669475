// The books: probing, values and candidate weights (with their golden figures), listing,
// checked loading, and learning into learn.book.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <unistd.h>

#include "board/board_testing.h"
#include "board/fen.h"
#include "board/make_move.h"
#include "board/movegen.h"
#include "board/notation.h"
#include "book/book.h"
#include "config/params.h"
#include "search/game_history.h"

namespace {

namespace fs = std::filesystem;

u64 KeyAfter(const char* fen, std::initializer_list<const char*> moves) {
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

TEST_F(BookTest, ProbingWrapsAroundAndStopsBeforeItsStart) {
  TestBook t(4, &board);
  // Home slot of a key is its low 32 bits mod 4.
  t.table[3].key = 7;                      // home 3
  EXPECT_EQ(FindBookSlot(&t.book, 7), &t.table[3]);
  EXPECT_EQ(FindBookSlot(&t.book, 11), &t.table[0]) << "home 3 taken: continues at slot 0";
  t.table[0].key = 11;
  t.table[1].key = 15;
  EXPECT_EQ(FindBookSlot(&t.book, 19), nullptr) << "slots 3, 0, 1 taken; slot 2 is never examined";
  EXPECT_EQ(FindBookSlot(&t.book, 15), &t.table[1]);
  EXPECT_EQ(FindBookSlot(&t.book, 0x100000002ull), &t.table[2]) << "only the low 32 bits pick home";

  TestBook one(1, &board);
  EXPECT_EQ(FindBookSlot(&one.book, 5), nullptr) << "a one-slot book finds nothing";
  Book empty{nullptr, &board, 0, 0};
  EXPECT_EQ(FindBookSlot(&empty, 5), nullptr);
}

TEST_F(BookTest, ValuesWeighExperienceAgainstThePrior) {
  TestBook t(64, &board);
  t.put(100, 0, 0);
  t.put(101, 6, 4);
  t.put(102, 30, 0);
  EXPECT_DOUBLE_EQ(BookValue(&t.book, 99, White), 0.53) << "absent";
  EXPECT_DOUBLE_EQ(BookValue(&t.book, 100, White), 0.53) << "found with no games";
  double w = std::exp(-1.0);
  EXPECT_DOUBLE_EQ(BookValue(&t.book, 101, Black), w * 0.49 + (1 - w) * 0.6);
  EXPECT_DOUBLE_EQ(BookValue(&t.book, 101, White), w * 0.57 + (1 - w) * 0.6);
  EXPECT_NEAR(BookValue(&t.book, 102, White), 1.0, 1e-3) << "30 games outweigh the prior";
}

TEST_F(BookTest, CandidateWeightsForEitherSide) {
  TestBook main(64, &board);
  TestBook learn(64, &board);
  BookPair pair{main.book, learn.book, &board};
  MoveList candidates;
  main.put(KeyAfter(StartFen, {"e2e4"}), 6, 4);
  CollectBookMoves(&pair, &candidates);
  ASSERT_EQ(candidates.count, 1);
  EXPECT_EQ(candidates.moves[0], Mv("e2e4"));
  EXPECT_EQ(candidates.scores[0], 594452045);

  u32 e4 = Mv("e2e4");
  MakeMove(&board, board.squares[MoveFrom(e4)], e4);
  main.put(KeyAfter(StartFen, {"e2e4", "e7e5"}), 4, 6);
  CollectBookMoves(&pair, &candidates);
  ASSERT_EQ(candidates.count, 1);
  EXPECT_EQ(candidates.moves[0], Mv("e7e5"));
  EXPECT_EQ(candidates.scores[0], 562606781);
  EXPECT_EQ(board.key, KeyAfter(StartFen, {"e2e4"})) << "the board is put back";
}

TEST_F(BookTest, CandidatesFromEitherBookSortedWithTiesInGenerationOrder) {
  TestBook main(64, &board);
  TestBook learn(64, &board);
  MoveList legal;
  legal.count = 0;
  GenerateLegalMoves(&board, &legal);
  ASSERT_EQ(legal.count, 20);
  // Generation order: a tie between the 3rd and the 12th legal move, a heavier 17th move,
  // and a move known only to the learn book.
  auto keyOf = [&](i32 index) {
    Board saved = board;
    MakeMove(&board, board.squares[MoveFrom(legal.moves[index])], legal.moves[index]);
    u64 key = board.key;
    board = saved;
    return key;
  };
  main.put(keyOf(11), 5, 5);
  main.put(keyOf(2), 5, 5);
  main.put(keyOf(16), 20, 0);
  learn.put(keyOf(7), 0, 0);
  BookPair pair{main.book, learn.book, &board};
  MoveList candidates;
  CollectBookMoves(&pair, &candidates);
  ASSERT_EQ(candidates.count, 4);
  EXPECT_EQ(candidates.moves[0], legal.moves[16]);
  // Learn-only: 0.2 x 0.53 (learn prior, no games) + 0.8 x 0.53 (main prior).
  i32 learnOnly = static_cast<i32>(0.53 * BookWeightOne);
  EXPECT_EQ(candidates.moves[1], legal.moves[7]);
  EXPECT_EQ(candidates.scores[1], learnOnly);
  EXPECT_EQ(candidates.moves[2], legal.moves[2]);
  EXPECT_EQ(candidates.moves[3], legal.moves[11]);
  EXPECT_EQ(candidates.scores[2], candidates.scores[3]);

  BookPair none{Book{nullptr, &board, 0, 0}, Book{nullptr, &board, 0, 0}, &board};
  CollectBookMoves(&none, &candidates);
  EXPECT_EQ(candidates.count, 0);
}

TEST_F(BookTest, WeightsStayInRangeWhateverTheHiddenParametersHold) {
  TestBook main(64, &board);
  main.put(KeyAfter(StartFen, {"e2e4"}), 0, 0);
  main.put(KeyAfter(StartFen, {"d2d4"}), 7, 3);
  BookPair pair{main.book, Book{nullptr, &board, 0, 0}, &board};
  for (i32 advantage : {-2000000000, -1, 100, 2000000000}) {
    for (i32 mix : {-2000000000, -1, 101, 2000000000}) {
      book_white_advantage = advantage;
      book_mix = mix;
      MoveList candidates;
      CollectBookMoves(&pair, &candidates);
      ASSERT_EQ(candidates.count, 2);
      for (i32 i = 0; i < 2; ++i) {
        EXPECT_GE(candidates.scores[i], -static_cast<i32>(BookWeightOne)) << advantage << " " << mix;
        EXPECT_LE(candidates.scores[i], static_cast<i32>(1.6 * BookWeightOne)) << advantage << " " << mix;
      }
    }
  }
}

std::string Listing(const Book* book) {
  std::FILE* out = std::tmpfile();
  ListBookMoves(book, out);
  std::rewind(out);
  std::string text;
  for (int c; (c = std::fgetc(out)) != EOF;) text += static_cast<char>(c);
  std::fclose(out);
  return text;
}

TEST_F(BookTest, ListingShowsThisBooksValueFromWhitesSide) {
  TestBook t(64, &board);
  EXPECT_EQ(Listing(&t.book), "No moves in book !\r\n");
  t.put(KeyAfter(StartFen, {"e2e4"}), 6, 4);
  EXPECT_EQ(Listing(&t.book), "e2e4 = 0.559533 (10)\r\n");
  ASSERT_TRUE(SetFen(&board, "k7/8/1Q6/8/8/8/8/7K b - - 0 1"));  // stalemate
  EXPECT_EQ(Listing(&t.book), "No moves in book !\r\n");
}

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

std::string Image(u32 capacity, std::initializer_list<BookEntry> entries) {
  std::string bytes(4 + 16 * static_cast<size_t>(capacity), '\0');
  for (int i = 0; i < 4; ++i) bytes[i] = static_cast<char>(capacity >> (8 * i));
  size_t slot = 0;
  for (const BookEntry& entry : entries) std::memcpy(&bytes[4 + 16 * slot++], &entry, 16);
  return bytes;
}

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
