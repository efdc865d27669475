// How the root search hands each new principal variation to whoever shows or judges it.
#pragma once

#include "board/types.h"
#include "search/pv_line.h"

class PVListener {
 public:
  // multiPvIndex: 0 for the single best line, 1, 2, ... for the lines of a MultiPV search.
  virtual void onNewPV(const PVLine* pv, i32 multiPvIndex) = 0;
};
