// The units the search counts in, shared by its table, its tools and the front ends: scores
// with the mate band, and depths in 1/64 ply.
#pragma once

#include "board/types.h"

// Scores: centipawns from the side to move's view; being mated at ply p scores p - MateScore.
constexpr i32 MateScore = 30000;
constexpr i32 MateBandScore = 29600;  // at or beyond: a mate or tablebase score
constexpr i32 DrawScore = -1;         // repetition and the 50-move rule
constexpr i32 AbortScore = 999999;    // an aborted search, from any depth
constexpr i32 EvalClamp = 10000;      // static evaluations stay inside +-EvalClamp

// A mate or tablebase score, for either side.
constexpr bool InMateBand(i32 score) { return score >= MateBandScore || score <= -MateBandScore; }

// Depths are counted in 1/64 ply.
constexpr i32 OnePly = 64;
