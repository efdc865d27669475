// What the worker does with one "go": start the clock and leave the move to play as the first
// move of frame 0's principal variation; false when nothing is to be played.
//
// TEMPORARY: the search is not built yet. Until it is, Think starts the active controller and
// then runs ThinkStandIn, which the tests set to what they need (the default plays nothing of
// its own, so the worker takes the first legal move). Both go when the real Think arrives.
#pragma once

struct Engine;

bool Think(Engine* engine);

using ThinkFunction = bool (*)(Engine* engine);
extern ThinkFunction ThinkStandIn;  // null: leave frame 0 empty and return true
