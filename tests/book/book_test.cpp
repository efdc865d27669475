// The books: probing, values and candidate weights (with their golden figures) and listing.
#include <gtest/gtest.h>

#include <cmath>

#include "board/movegen.h"
#include "board/notation.h"
#include "book/book_fixture.h"

namespace {

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

}  // namespace
