// Keeping the MultiPV list sorted by score as root moves are entered.
#include "search/pv_line.h"

#include <utility>

void ClearMultiPvList(MultiPvList* list) {
  for (PVLine& entry : list->entries) {
    entry.length = 0;
    entry.flag = 0;
    entry.bound = PVExact;
  }
  list->count = 0;
}

static void WriteEntry(PVLine* entry, u32 rootMove, const PVLine* childLine, i32 score,
                       u8 bound) {
  entry->moves[0] = rootMove;
  entry->length = 1;
  for (i32 i = 0; i < childLine->length && entry->length < PVMaxLength; ++i)
    entry->moves[entry->length++] = childLine->moves[i];
  entry->flag = childLine->flag;
  entry->bound = bound;
  entry->score = score;
}

i32 MultiPvList::update(u32 rootMove, const PVLine* childLine, i32 score, u8 bound) {
  u32 index = 0;
  while (index < count && !(entries[index].length > 0 && entries[index].moves[0] == rootMove))
    ++index;
  if (index == count) {
    if (count == MultiPvCapacity) {
      if (entries[count - 1].score >= score) return MultiPvListFull;
      index = count - 1;
    } else {
      index = count++;
    }
  }
  WriteEntry(&entries[index], rootMove, childLine, score, bound);
  while (index > 0 && entries[index].score > entries[index - 1].score) {
    std::swap(entries[index], entries[index - 1]);
    --index;
  }
  while (index + 1 < count && entries[index].score < entries[index + 1].score) {
    std::swap(entries[index], entries[index + 1]);
    ++index;
  }
  return static_cast<i32>(index);
}
