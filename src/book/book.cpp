// Book files, lookup by linear probing, position values, book candidates and learning.
#include "book/book.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdlib>
#include <new>
#include <string>

#include "board/make_move.h"
#include "board/movegen.h"
#include "board/notation.h"
#include "config/params.h"
#include "search/game_history.h"

// The file is an image of the table in memory.
static_assert(std::endian::native == std::endian::little);

namespace {

constexpr char LearnBookFile[] = "learn.book";

void EmptyBook(Book* book) {
  delete[] book->table;
  book->table = nullptr;
  book->capacity = 0;
  book->used = 0;
}

u32 CountUsed(const Book* book) {
  u32 used = 0;
  for (u32 i = 0; i < book->capacity; ++i) used += book->table[i].key != 0;
  return used;
}

// The hidden parameters are stored unchecked; read out of range they would push the values
// far outside 0..1 and the weights past 32 bits.
double WhiteAdvantage() { return std::clamp(book_white_advantage.load(), 0, 100) / 100.0; }
double LearnShare() { return std::clamp(book_mix.load(), 0, 100) / 100.0; }

void GrowLearnBook(Book* book) {
  u64 newCapacity = static_cast<u64>(book->capacity) * 2;
  BookEntry* table = newCapacity <= 0xffffffffu ? new (std::nothrow) BookEntry[newCapacity]() : nullptr;
  if (!table) {
    std::fputs("Not enough memory !\r\n", stderr);
    std::exit(10);
  }
  Book grown{table, book->board, static_cast<u32>(newCapacity), 0};
  for (u32 i = 0; i < book->capacity; ++i) {
    const BookEntry& old = book->table[i];
    if (old.key == 0) continue;
    BookEntry* slot = FindBookSlot(&grown, old.key);
    if (!slot) continue;
    if (slot->key == 0) grown.used += 1;
    *slot = old;
  }
  delete[] book->table;
  *book = grown;
}

}  // namespace

void LoadBook(Book* book, const char* path) {
  book->used = 0;
  if (book->table) std::fill(book->table, book->table + book->capacity, BookEntry{});
  std::FILE* file = std::fopen(path, "rb");
  if (!file) return;

  unsigned char header[4];
  bool good = std::fread(header, 1, 4, file) == 4;
  u32 capacity = good ? static_cast<u32>(header[0]) | static_cast<u32>(header[1]) << 8 |
                            static_cast<u32>(header[2]) << 16 | static_cast<u32>(header[3]) << 24
                      : 0;
  // A capacity of 0 is an empty book as learning writes it before its first table.
  bool emptyFile = good && capacity == 0 && std::fgetc(file) == EOF;
  good = good && capacity >= 1 && capacity <= BookCapacityLimit;
  BookEntry* table = good ? new (std::nothrow) BookEntry[capacity] : nullptr;
  good = table && std::fread(table, sizeof(BookEntry), capacity, file) == capacity &&
         std::fgetc(file) == EOF;
  std::fclose(file);

  EmptyBook(book);
  if (emptyFile) return;
  if (!good) {
    delete[] table;
    std::fprintf(stderr, "Damaged book file %s ignored !\r\n", path);
    return;
  }
  book->table = table;
  book->capacity = capacity;
  book->used = CountUsed(book);
}

BookEntry* FindBookSlot(const Book* book, u64 key) {
  u32 capacity = book->capacity;
  if (capacity == 0 || !book->table) return nullptr;
  u32 start = static_cast<u32>(key) % capacity;
  u32 last = static_cast<u32>((static_cast<u64>(start) + capacity - 1) % capacity);
  for (u32 s = start; s != last; s = s + 1 == capacity ? 0 : s + 1) {
    BookEntry* slot = &book->table[s];
    if (slot->key == key || slot->key == 0) return slot;
  }
  return nullptr;
}

double BookValue(const Book* book, u64 key, u32 sideToMove) {
  double prior = 0.5 + WhiteAdvantage();
  const BookEntry* slot = FindBookSlot(book, key);
  if (!slot || slot->key != key) return prior;
  u64 n = static_cast<u64>(slot->countA) + slot->countB;
  if (n == 0) return prior;
  double nd = static_cast<double>(n);
  double w = std::exp(-nd * nd / 100.0);
  double shifted = sideToMove == White ? prior + 0.04 : prior - 0.04;
  return w * shifted + (1.0 - w) * static_cast<double>(slot->countA) / nd;
}

void CollectBookMoves(BookPair* pair, MoveList* candidates) {
  candidates->count = 0;
  candidates->next = 0;
  Board* board = pair->board;
  MoveList moves;
  moves.count = 0;
  GenerateLegalMoves(board, &moves);
  Board saved = *board;
  double mix = LearnShare();
  for (i32 i = 0; i < moves.count; ++i) {
    u32 move = moves.moves[i];
    MakeMove(board, board->squares[MoveFrom(move)], move);
    u64 key = board->key;
    u32 side = SideToMove(board);
    *board = saved;

    const BookEntry* inMain = FindBookSlot(&pair->mainBook, key);
    const BookEntry* inLearn = FindBookSlot(&pair->learnBook, key);
    if (!(inMain && inMain->key == key) && !(inLearn && inLearn->key == key)) continue;
    double v = mix * BookValue(&pair->learnBook, key, side) +
               (1.0 - mix) * BookValue(&pair->mainBook, key, side);
    double mover = side == Black ? v : 1.0 - v;  // Black to move now: White made the move
    candidates->moves[candidates->count] = move;
    candidates->scores[candidates->count] = static_cast<i32>(mover * BookWeightOne);
    candidates->count += 1;
  }
  // Selection: only a strictly heavier weight is taken forward, and the moves it passes keep
  // their order behind it, so equal weights stay in generation order.
  for (i32 i = 0; i < candidates->count; ++i) {
    i32 best = i;
    for (i32 j = i + 1; j < candidates->count; ++j)
      if (candidates->scores[j] > candidates->scores[best]) best = j;
    std::rotate(candidates->moves + i, candidates->moves + best, candidates->moves + best + 1);
    std::rotate(candidates->scores + i, candidates->scores + best, candidates->scores + best + 1);
  }
}

void ListBookMoves(const Book* book, std::FILE* out) {
  Board* board = book->board;
  MoveList moves;
  moves.count = 0;
  GenerateLegalMoves(board, &moves);
  Board saved = *board;
  bool printed = false;
  for (i32 i = 0; i < moves.count; ++i) {
    u32 move = moves.moves[i];
    MakeMove(board, board->squares[MoveFrom(move)], move);
    u64 key = board->key;
    u32 side = SideToMove(board);
    *board = saved;
    const BookEntry* slot = FindBookSlot(book, key);
    if (!slot || slot->key != key) continue;
    std::fprintf(out, "%s = %lf (%d)\r\n", MoveToText(move).c_str(), BookValue(book, key, side),
                 static_cast<int>(slot->countA + slot->countB));
    printed = true;
  }
  if (!printed) std::fputs("No moves in book !\r\n", out);
}

void LearnOnResult(BookPair* pair, GameHistory* history, int code) {
  if (code != LearnDraw && code != LearnWhiteWon && code != LearnBlackWon) return;
  Book* learn = &pair->learnBook;
  if (learn->capacity == 0 || !learn->table) {
    BookEntry* table = new (std::nothrow) BookEntry[LearnBookStartCapacity]();
    if (!table) return;
    delete[] learn->table;
    learn->table = table;
    learn->capacity = LearnBookStartCapacity;
    learn->used = 0;
  }
  LearnFromGame(pair, history, code);
}

void LearnFromGame(BookPair* pair, GameHistory* history, int code) {
  Book* learn = &pair->learnBook;
  bool credits = code == LearnDraw || code == LearnWhiteWon || code == LearnBlackWon;
  u32 outOfBook = 0;
  i64 lastPly = learn_maxply.load();
  i64 allowedOut = learn_oubext.load();
  // Each entry keeps the key after its move, so the opening is read without replaying it.
  for (u32 i = 0; i < history->count && static_cast<i64>(i) <= lastPly; ++i) {
    const HistoryEntry& entry = history->entries[i];
    u64 key = entry.key;
    const BookEntry* inMain = FindBookSlot(&pair->mainBook, key);
    const BookEntry* inLearn = FindBookSlot(learn, key);
    if ((inMain && inMain->key == key) || (inLearn && inLearn->key == key)) {
      outOfBook = 0;
    } else if (static_cast<i64>(++outOfBook) > allowedOut) {
      break;
    }
    if (!entry.engineMove) continue;
    if (learn->capacity > 0 && static_cast<u64>(learn->used) * 110 / 100 > learn->capacity)
      GrowLearnBook(learn);
    if (!credits) continue;
    BookEntry* slot = FindBookSlot(learn, key);
    if (!slot) continue;
    if (slot->key == 0) learn->used += 1;
    slot->key = key;
    if (code == LearnWhiteWon || code == LearnDraw) slot->countA += 1;
    if (code == LearnBlackWon || code == LearnDraw) slot->countB += 1;
  }
  if (!WriteBookFile(learn, LearnBookFile))
    std::fputs("Kann Datei learn.book nicht schreiben !\r\n", stderr);
  history->learnDone = 1;
}

bool WriteBookFile(const Book* book, const char* path) {
  std::string temporary = std::string(path) + ".tmp";
  std::FILE* file = std::fopen(temporary.c_str(), "wb");
  if (!file) return false;
  u32 capacity = book->table ? book->capacity : 0;
  unsigned char header[4] = {static_cast<unsigned char>(capacity),
                             static_cast<unsigned char>(capacity >> 8),
                             static_cast<unsigned char>(capacity >> 16),
                             static_cast<unsigned char>(capacity >> 24)};
  bool good = std::fwrite(header, 1, 4, file) == 4 &&
              (capacity == 0 ||
               std::fwrite(book->table, sizeof(BookEntry), capacity, file) == capacity);
  good = std::fclose(file) == 0 && good;
  if (good && std::rename(temporary.c_str(), path) == 0) return true;
  std::remove(temporary.c_str());
  return false;
}

i32 BookThresholdPercent(bool blackToMove) {
  i64 threshold = book_min_percent.load();
  if (blackToMove) threshold -= book_white_advantage.load();
  return static_cast<i32>(std::clamp<i64>(threshold, -1, 101));
}
