// Made-up training positions for the tests and for timing the trainer before real games exist:
// plausible piece sets on random squares, scored by material with noise.
#pragma once

#include <vector>

#include "common/rng.h"
#include "common/training_record.h"

// Kings not adjacent, pawns off the first and last rank, at most 32 pieces, no castling or en
// passant; score = material balance (White's view) plus noise of about a pawn, result drawn
// from sigmoid(score / 400).
TrainingPosition RandomTrainingPosition(ToolRng* rng);

// Legal positions, closer to real games: random legal games from the start position (up to 160
// plies, ending at mate, stalemate or the 50-move rule), every position after the first four
// plies appended until *positions holds `count`. Scored like the above, White's view.
void RandomGamePositions(ToolRng* rng, std::size_t count, std::vector<TrainingPosition>* positions);
