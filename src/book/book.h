// The opening books as the engine holds them: two hash tables of positions reached by book
// moves, each slot a position key with two success counters.
#pragma once

#include "board/board.h"

// One slot, the same 16 bytes in memory as in the book file.
struct BookEntry {
  u64 key;  // position after a book move; 0 = empty slot
  u32 countA;  // White-success credit
  u32 countB;  // Black-success credit
};
static_assert(sizeof(BookEntry) == 16);

struct Book {
  BookEntry* table;  // owned (new[]); null before the first successful load
  Board* board;      // the engine's current board
  u32 capacity;      // 0 = empty book
  u32 used;
};

struct BookPair {
  Book mainBook;   // tervik.book
  Book learnBook;  // learn.book
  Board* board;
};
