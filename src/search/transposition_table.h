// The process-wide hash table of search results: two 16-byte slots per bucket, slot 0 kept
// for the deeper result, slot 1 for whatever slot 0 refuses.
#pragma once

#include <cstddef>

#include "board/board.h"
#include "search/score.h"

// Bound kinds stored in the low three bits of boundAge.
enum TTBound : u8 { TTEmpty = 0, TTUpper = 1, TTLower = 2, TTExact = 3, TTFinal = 4 };

// Table sizes in log2 of the bucket count: 2^15 buckets is 1 MB, 2^30 is 32 GB.
constexpr unsigned TTMinLog2Count = 15;
constexpr unsigned TTMaxLog2Count = 30;
constexpr unsigned TTStartLog2Count = 19;

struct TTEntry {
  u64 key;
  u16 move;      // low 16 bits of the move word (which uses no more); 0 = none
  i16 score;     // mate scores counted from the storing node
  u8 boundAge;   // bits 0-2 bound kind, bits 3-7 low five bits of the age
  i8 depth;      // whole plies
  u8 unused[2];
};
static_assert(sizeof(TTEntry) == 16);

struct TTBucket {
  TTEntry slots[2];
};
static_assert(sizeof(TTBucket) == 32);

// What a probe gives the search.
struct TTProbe {
  TTBucket* hit;   // bucket of the matching slot, null on a miss
  u32 moves[2];    // move of a matching slot 0 and of a matching slot 1, 0 otherwise
  i32 alpha;       // the window, narrowed by bounds that did not cut
  i32 beta;
  i32 score;       // the cut-off score when cutoff is set
  bool cutoff;
  u8 bound;        // the cut-off slot's bound kind: what its score is worth
};

struct TranspositionTable {
  u32 age = 0;               // search generation, 0..63
  TTBucket* table = nullptr;
  u64 bucketCount = 0;
  unsigned log2Count = 0;
  u64 mask = 0;

  // New zero-filled table of 2^log2Count buckets (clamped to the size bounds). When the
  // memory is not there, says so on standard error, keeps the old table and returns false.
  bool resize(unsigned newLog2Count);
  // Age 0 and every bucket zeroed.
  void clear();
  TTProbe probe(u64 key, i32 depth64, i32 ply, i32 alpha, i32 beta) const;
  TTProbe probe(const Board* board, i32 depth64, i32 ply, i32 alpha, i32 beta) const {
    return probe(board->key, depth64, ply, alpha, beta);
  }
  // A score of -1 (draw by repetition or the 50-move rule) is never stored.
  void store(u64 key, u32 bound, u32 move, i32 score, i32 depth64, i32 ply);
  void store(const Board* board, u32 bound, u32 move, i32 score, i32 depth64, i32 ply) {
    store(board->key, bound, move, score, depth64, ply);
  }
  // Once per non-analysing search.
  void advanceAge() { age = (age + 1) & 63; }
  TTBucket* bucketOf(u64 key) const { return table ? &table[key & mask] : nullptr; }

  ~TranspositionTable();
};

extern TranspositionTable TT;
// The table's allocator (std::aligned_alloc); tests put a failing one in its place.
extern void* (*TTAllocate)(std::size_t alignment, std::size_t bytes);

// Table size for the Hash option in megabytes: the largest power of two of buckets that fits,
// reading only the low 12 bits; never below the minimum (Hash 0, multiples of 4096, negative).
unsigned HashMegabytesToLog2Count(i64 hashMegabytes);

struct Engine;
struct GameHistory;
struct PVLine;
struct SearchFrame;

// The probe of a search node on the frame's board at the frame's ply: sets the frame's table
// moves and hit bucket and counts a hit or a miss. True on a cut-off, with the score, the
// frame's node type then being the bound kind of the slot that cut; otherwise the window may
// have been narrowed.
bool ProbeTranspositionTable(SearchFrame* frame, i32 depth64, i32* alpha, i32* beta, i32* score);

// Lengthens a principal variation of the board's position by following the table's moves, at
// most to 60 moves, stopping at a missing move, an illegal one (a key collision) or a cycle.
// With the game that led to the board, the line also ends at its first position where that
// game is drawn (by repetition or the fifty-move rule), a root line that already runs past one
// being cut there. The board is the same afterwards. Returns the number of moves added.
i32 CompletePvLine(Board* board, PVLine* line, const GameHistory* game = nullptr);
// The same for the root line of the engine (frame 0) with the engine's game; a line that ends
// in a final result (the flag) is not lengthened, only ended where the game is drawn.
i32 CompletePvFromHash(Engine* engine);

// The move word of a stored 16-bit move (the upper half of a move word is always 0).
constexpr u32 TTMoveWord(u16 stored) { return stored; }

inline u32 TTBoundOf(const TTEntry& entry) { return entry.boundAge & 7; }
inline u32 TTAgeOf(const TTEntry& entry) { return entry.boundAge >> 3; }

// Mate scores are stored relative to the storing node and read back relative to the prober.
constexpr i32 ScoreToTable(i32 score, i32 ply) {
  return score >= MateBandScore ? score + ply : score <= -MateBandScore ? score - ply : score;
}
constexpr i32 ScoreFromTable(i32 score, i32 ply) {
  return score >= MateBandScore ? score - ply : score <= -MateBandScore ? score + ply : score;
}
