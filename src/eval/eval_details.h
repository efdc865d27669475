// Two console diagnostics of a position: a description in words and a diagram (phase, key,
// loose pieces), and the raw network output of a FEN line.
#pragma once

#include <cstdio>
#include <string>

#include "board/board.h"

// Phase, key, hang scores and bitboards of both sides, then the diagram with rank 8 first;
// every line ends in "\r\n". The board is not changed.
std::string FormatEvalDetails(const Board* board);

// The network's score of the position in the first six fields of the line, for the side to
// move, without clamp, recognisers or draw rule: "%+6d  FEN\n" on out, or the refusal of a FEN
// that does not load on err. A line without fields prints nothing.
void NnuePrintFen(const char* line, std::FILE* out = stdout, std::FILE* err = stderr);
