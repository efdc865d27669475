// The network's hidden-layer sums for one position: one half per perspective.
#pragma once

#include "eval/network_constants.h"

struct alignas(64) Accumulator {
  i16 half[2][NnueHidden];  // [0] White's perspective, [1] Black's
};
