// The test-suite solver of the "solve" console command: each position of an EPD or PGN-tag
// file searched for a fixed time on the calling thread and judged by a listener that watches
// its principal variations, a line per position, then a table of all positions and the
// search statistics of the run.
#pragma once

#include <string>

#include "search/pv_listener.h"

class Protocol;
struct Engine;

constexpr i32 SolutionCapacity = 10;
constexpr i32 NotSolved = -1;

// A "bm" position: solved while the line starts with one of the solution moves. The search
// stops once a solution has held for two further iterations, and never before depth 5.
class SolutionListener : public PVListener {
 public:
  u32 solutions[SolutionCapacity];
  i32 solutionCount;
  u32 foundTime;     // ms from the controller's start to the line that solved it
  u64 foundNodes;    // nodes searched by then
  Engine* engine;
  i32 foundDepth;    // iteration of that line; NotSolved

  explicit SolutionListener(Engine* engine);
  void onNewPV(const PVLine* pv, i32 multiPvIndex) override;
};

// An "am" position: solved (at depth 0, time 0) until a line plays the move to avoid, and
// again from the next line that turns away from it.
class SolutionListenerAM : public PVListener {
 public:
  u32 avoidMove;
  u32 foundTime;
  u64 foundNodes;
  Engine* engine;
  i32 foundDepth;

  SolutionListenerAM(Engine* engine, u32 avoidMove);
  void onNewPV(const PVLine* pv, i32 multiPvIndex) override;
};


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
