// Clearing and ageing of the history counts.
#include "search/history_table.h"

u32 HistoryTable[12][64];
u32 HistoryMax;

void ClearHistory() {
  for (auto& row : HistoryTable)
    for (u32& entry : row) entry = 0;
  HistoryMax = 0;
}

void AgeHistory() {
  for (auto& row : HistoryTable)
    for (u32& entry : row) entry >>= 4;
  HistoryMax >>= 4;
}
