// The transposition table: sizing, probe and store.
#include "search/transposition_table.h"

#include <sys/mman.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "board/make_move.h"
#include "board/movegen.h"
#include "search/engine.h"
#include "search/line_draws.h"
#include "search/pv_line.h"
#include "search/search_frame.h"

TranspositionTable TT;
void* (*TTAllocate)(std::size_t alignment, std::size_t bytes) = std::aligned_alloc;

namespace {

constexpr std::size_t TTAlignment = 64;  // two buckets per cache line, none split
// Tables of at least a huge page are aligned to one and asked to be backed by them: a probe
// is a random access, and with small pages nearly every one also misses the TLB.
constexpr std::size_t TTHugePage = std::size_t{2} << 20;

// Sized before main so that a search can run before the Hash option is read.
[[maybe_unused]] const bool TTSizedAtStart = TT.resize(TTStartLog2Count);

// Applies one slot's bound to the window; true when the slot decides the node.
bool ApplySlot(const TTEntry& entry, i32 depth64, i32 ply, TTProbe* result) {
  if (depth64 > entry.depth * OnePly) return false;
  i32 score = ScoreFromTable(entry.score, ply);
  switch (TTBoundOf(entry)) {
    case TTLower:
      if (score >= result->beta) break;
      if (score > result->alpha) result->alpha = score - 1;
      return false;
    case TTExact:
    case TTFinal:
      break;
    case TTUpper:
      if (score <= result->alpha) break;
      if (score < result->beta) result->beta = score + 1;
      return false;
    default:
      return false;
  }
  result->score = score;
  result->cutoff = true;
  result->bound = static_cast<u8>(TTBoundOf(entry));
  return true;
}

}  // namespace

unsigned HashMegabytesToLog2Count(i64 hashMegabytes) {
  if (hashMegabytes < 0) return TTMinLog2Count;
  u64 buckets = static_cast<u64>(hashMegabytes & 0xfff) << 15;
  unsigned log2 = 0;
  while (log2 < 63 && (u64{1} << (log2 + 1)) <= buckets) ++log2;
  if (log2 < TTMinLog2Count) return TTMinLog2Count;
  return log2 > TTMaxLog2Count ? TTMaxLog2Count : log2;
}

bool TranspositionTable::resize(unsigned newLog2Count) {
  unsigned log2 = newLog2Count & 63;
  if (log2 < TTMinLog2Count) log2 = TTMinLog2Count;
  if (log2 > TTMaxLog2Count) log2 = TTMaxLog2Count;
  u64 count = u64{1} << log2;
  void* memory = nullptr;
  if (count <= SIZE_MAX / sizeof(TTBucket)) {
    std::size_t bytes = static_cast<std::size_t>(count) * sizeof(TTBucket);
    const bool huge = bytes >= TTHugePage;
    memory = TTAllocate(huge ? TTHugePage : TTAlignment, bytes);
#ifdef MADV_HUGEPAGE
    if (memory && huge) madvise(memory, bytes, MADV_HUGEPAGE);  // only advice: failure is harmless
#endif
    if (memory) std::memset(memory, 0, bytes);
  }
  if (!memory) {
    std::fputs("Not enough memory \r\n!", stderr);
    return false;
  }
  std::free(table);
  table = static_cast<TTBucket*>(memory);
  bucketCount = count;
  log2Count = log2;
  mask = count - 1;
  age = 0;
  return true;
}

void TranspositionTable::clear() {
  age = 0;
  if (table) std::memset(static_cast<void*>(table), 0, bucketCount * sizeof(TTBucket));
}

TranspositionTable::~TranspositionTable() {
  std::free(table);
  table = nullptr;
}

TTProbe TranspositionTable::probe(u64 key, i32 depth64, i32 ply, i32 alpha, i32 beta) const {
  TTProbe result{nullptr, {0, 0}, alpha, beta, 0, false, TTEmpty};
  TTBucket* bucket = bucketOf(key);
  if (!bucket) return result;
  const TTEntry& first = bucket->slots[0];
  const TTEntry& second = bucket->slots[1];
  bool firstMatches = first.key == key;
  if (!firstMatches && second.key != key) return result;
  result.hit = bucket;
  if (firstMatches) {
    result.moves[0] = TTMoveWord(first.move);
    if (ApplySlot(first, depth64, ply, &result)) return result;
    if (second.key != key) return result;
  }
  result.moves[1] = TTMoveWord(second.move);
  ApplySlot(second, depth64, ply, &result);
  return result;
}

void TranspositionTable::store(u64 key, u32 bound, u32 move, i32 score, i32 depth64, i32 ply) {
  if (score == -1) return;
  TTBucket* bucket = bucketOf(key);
  if (!bucket) return;
  TTEntry* first = &bucket->slots[0];
  TTEntry* slot;
  if (TTBoundOf(*first) == TTEmpty || ((age - TTAgeOf(*first)) & 4) != 0) {
    slot = first;
  } else if (depth64 > first->depth * OnePly) {
    bucket->slots[1] = *first;
    slot = first;
  } else {
    slot = &bucket->slots[1];
  }
  if (slot->key != key) {
    slot->key = key;
    slot->move = static_cast<u16>(move);
  } else if (move != 0) {
    slot->move = static_cast<u16>(move);
  }
  // Saturate rather than wrap: a wrapped score or depth would change sign.
  i32 stored = ScoreToTable(score, ply);
  if (stored > INT16_MAX) stored = INT16_MAX;
  if (stored < -INT16_MAX) stored = -INT16_MAX;
  i32 depth = depth64 >> 6;
  if (depth > INT8_MAX) depth = INT8_MAX;
  if (depth < INT8_MIN) depth = INT8_MIN;
  slot->score = static_cast<i16>(stored);
  slot->boundAge = static_cast<u8>(bound | (age << 3));
  slot->depth = static_cast<i8>(depth);
}

bool ProbeTranspositionTable(SearchFrame* frame, i32 depth64, i32* alpha, i32* beta, i32* score) {
  TTProbe probe = TT.probe(frame->board, depth64, frame->ply, *alpha, *beta);
  frame->ttMoves[0] = probe.moves[0];
  frame->ttMoves[1] = probe.moves[1];
  frame->hit = probe.hit;
  if (probe.hit) {
    ++frame->stats.ttHits;
  } else {
    ++frame->stats.ttMisses;
  }
  if (probe.cutoff) {
    *score = probe.score;
    frame->nodeType = probe.bound;
    return true;
  }
  *alpha = probe.alpha;
  *beta = probe.beta;
  return false;
}

namespace {

// The move the table offers for the position: slot 0's unless slot 1 holds a deeper one for
// the same key; slot 1's alone only from a search of depth 0 or more. 0 when there is none.
u32 TableMoveFor(const TTBucket* bucket, u64 key) {
  const TTEntry& first = bucket->slots[0];
  const TTEntry& second = bucket->slots[1];
  bool secondUsable = second.key == key && second.move != 0;
  if (first.key == key && first.move != 0) {
    return TTMoveWord(secondUsable && second.depth > first.depth ? second.move : first.move);
  }
  return secondUsable && second.depth >= 0 ? TTMoveWord(second.move) : 0;
}

inline void PlayMove(Board* board, u32 move) {
  MakeMove(board, board->squares[MoveFrom(move)], move);
}

}  // namespace

i32 CompletePvLine(Board* board, PVLine* line, const GameHistory* game) {
  if (line->length < 0 || line->length > PVMaxLength) return 0;
  Board saved = *board;
  DrawWatch draws;
  if (game) draws.start(board, game);
  u64 keys[PVMaxLength];
  i32 visited = 0;
  i32 appended = 0;
  bool playable = true;
  bool drawn = false;
  for (i32 i = 0; i < line->length && playable && !drawn; ++i) {
    playable = IsLegalMove(board, line->moves[i]);
    if (!playable) break;
    keys[visited++] = board->key;
    PlayMove(board, line->moves[i]);
    // A line that runs on past the game's end is cut there, and not completed.
    if (game && draws.reached(board)) {
      drawn = true;
      line->length = i + 1;
    }
  }
  while (playable && !drawn && visited < PVMaxLength && line->length < PVMaxLength) {
    const TTBucket* bucket = TT.bucketOf(board->key);
    if (!bucket) break;
    u32 move = TableMoveFor(bucket, board->key);
    // A key collision may offer a move of another position.
    if (move == 0 || !IsLegalMove(board, move)) break;
    keys[visited++] = board->key;
    PlayMove(board, move);
    line->moves[line->length++] = move;
    line->flag = 0;
    ++appended;
    if (game && draws.reached(board)) break;
    if (appended < 2) continue;
    bool cycle = false;
    for (i32 i = 0; i < visited && !cycle; ++i) cycle = keys[i] == board->key;
    if (cycle) break;
  }
  *board = saved;
  return appended;
}

i32 CompletePvFromHash(Engine* engine) {
  PVLine* line = &engine->frames[0].line;
  if (!line->flag) return CompletePvLine(engine->board, line, engine->history);
  EndLineAtGameDraw(engine->board, engine->history, line);
  return 0;
}
