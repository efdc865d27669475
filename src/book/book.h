// The opening books as the engine holds them: two hash tables of positions reached by book
// moves, each slot a position key with two success counters; loading, lookup, the weighted
// candidates for Think, and learning from finished games into learn.book.
#pragma once

#include <cstdio>

#include "board/board.h"
#include "board/move_list.h"

struct GameHistory;

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

// Learning codes (not the protocol's result codes).
enum LearnCode : int { LearnDraw = 4, LearnWhiteWon = 5, LearnBlackWon = 6 };

constexpr u32 LearnBookStartCapacity = 16384;
// Larger capacities in a book file are taken for a damaged file (2^27 slots = 2 GB).
constexpr u32 BookCapacityLimit = 1u << 27;
constexpr double BookWeightOne = 1073741824.0;  // 2^30: candidate weight 1.0

// Replaces the book's contents by the file's. A missing file leaves the book empty and says
// nothing; a file that is not 4 + 16 x capacity bytes with a capacity of 1..2^27 gives an empty
// book and one line on stderr.
void LoadBook(Book* book, const char* path);
// The slot holding the key, else the empty slot where it would go, else null.
BookEntry* FindBookSlot(const Book* book, u64 key);
// The position's value in this book from White's side; sideToMove is the side to move after
// the book move.
double BookValue(const Book* book, u64 key, u32 sideToMove);
// Fills the candidate list with the legal moves found in either book, weights (30 fraction
// bits, the mover's view) highest first, equal weights in generation order.
void CollectBookMoves(BookPair* pair, MoveList* candidates);
// The percentage a book move's weight must exceed to be played: book_min_percent, less
// book_white_advantage with Black to move, kept within -1..101 (every move, or none), so that
// stored values of any size neither overflow nor change what is played.
i32 BookThresholdPercent(bool blackToMove);
// Prints the current position's moves found in this book alone, or "No moves in book !".
void ListBookMoves(const Book* book, std::FILE* out);
// Codes 4, 5 and 6 only: gives the learn book its first table when it has none, then learns.
void LearnOnResult(BookPair* pair, GameHistory* history, int code);
// Credits the engine's own moves of the game's opening in the learn book, rewrites
// learn.book and marks the game learned.
void LearnFromGame(BookPair* pair, GameHistory* history, int code);
// Writes the book's table to the path through a temporary file in the same folder, so that a
// kill during the write leaves the old file whole. False when it could not be written.
bool WriteBookFile(const Book* book, const char* path);
