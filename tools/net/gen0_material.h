// The first shipped network: material exactly, plus a few small piece-square terms.
#pragma once

#include "eval/weight_file.h"

// Fills every weight; the same call always gives the same bytes.
void BuildGen0MaterialWeights(NnueFileWeights* weights);
