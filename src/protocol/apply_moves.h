// Playing a list of coordinate moves on the engine's game, for the move lists of UCI
// "position ... moves" and of XBoard.
#pragma once

#include <string>
#include <vector>

class Protocol;

// Splits the list on blanks, tabs, CR and LF and plays every legal coordinate move through
// the game history, in order. Returns the tokens it skipped (unreadable or illegal), in order,
// for the caller to report; prints nothing. The caller holds the engine's thinkMutex.
std::vector<std::string> ApplyMoves(Protocol* protocol, const std::string& moves);
