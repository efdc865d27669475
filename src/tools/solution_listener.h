// The solver's judges of a search: they watch the first move of each new principal variation,
// record when the position was solved, and stop the search once the verdict is safe.
#pragma once

#include "search/pv_listener.h"

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
