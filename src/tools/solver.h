// The test-suite solver of the "solve" console command: each position of an EPD or PGN-tag
// file searched for a fixed time on the calling thread, a line per position, then a table of
// all positions and the search statistics of the run.
#pragma once

#include <string>

#include "board/types.h"

class Protocol;

// The run record's size: a file with more positions stops after this many, with a message.
constexpr i32 SolverPositionCapacity = 4000;
// Every position is searched at most this many iterations.
constexpr i32 SolverMaxDepth = 60;

// Runs the file with `seconds` per position; returns the sum of the positions' times in
// seconds, or -1 when the file cannot be opened (the engine's settings then stay as they
// were). Afterwards the dynamic controller is active and the depth limit is 60. The caller
// holds the engine's thinkMutex with the worker idle.
i64 SolveTestSuite(Protocol* gui, const char* path, bool pgnMode, int seconds);

// The form of a "solve" file: EPD when the name ends in ".epd" or ".EPD", else PGN tags.
bool IsEpdFileName(const std::string& name);
