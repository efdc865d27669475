// What the worker does with one "go": start the clock, play from the opening book when the
// books know the position, recognise a position without moves and draws by claim, otherwise
// search, and perhaps resign. The move to play is left as frame 0's principal variation.
#pragma once

#include "board/types.h"

struct Engine;
struct MoveList;

// True when the worker is to play the first move of frame 0's line, false when nothing is to
// be played. Runs with the engine's thinkMutex held.
bool Think(Engine* engine);

// The index of the book candidate to play (weights sorted heaviest first), or -1: the first
// candidate whose share exceeds the threshold, or with random choice a later one, walking on
// while randomBit gives 0 and the next one still exceeds the threshold.
i32 ChooseBookCandidate(const MoveList* candidates, i32 thresholdPercent, bool random,
                        int (*randomNumber)());
// How often the position of the board occurs within the reversible plies of the game: the
// current one counted, then every second history entry back as long as the distance in plies
// is at most the half-move clock.
i32 RepetitionCount(const Engine* engine);
// The reported score of a book move of this weight (30 fraction bits): 400 w - 200, truncated.
i32 BookLineScore(i32 weight);
// Whether a finished search of this score, time and depth gives the game up.
bool ResignationDue(i32 score, i64 elapsedMs, i32 depthReached);
