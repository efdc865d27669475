// Made-up training positions for the tests and for timing the trainer before real games exist:
// plausible piece sets on random squares, scored by material with noise.
#pragma once

#include "common/rng.h"
#include "common/training_record.h"

// Kings not adjacent, pawns off the first and last rank, at most 32 pieces, no castling or en
// passant; score = material balance (White's view) plus noise of about a pawn, result drawn
// from sigmoid(score / 400).
TrainingPosition RandomTrainingPosition(ToolRng* rng);
