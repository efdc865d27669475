// The stop rules of the solver's listeners.
#include "tools/solution_listener.h"

#include "search/engine.h"
#include "search/root_search.h"
#include "search/time_controller.h"

namespace {

// An early stop needs this depth and a solution that has survived two more iterations.
constexpr i32 StopMinDepth = 5;

u32 ElapsedMs(const Engine* engine) {
  return static_cast<u32>(NowMs() - engine->timeController->startMs);
}

}  // namespace

SolutionListener::SolutionListener(Engine* engine)
    : solutions{}, solutionCount(0), foundTime(0), foundNodes(0), engine(engine),
      foundDepth(NotSolved) {}

void SolutionListener::onNewPV(const PVLine* pv, i32) {
  const i32 d = engine->depthReached;
  bool matches = false;
  for (i32 i = 0; i < solutionCount && i < SolutionCapacity && pv->length > 0; ++i)
    matches = matches || pv->moves[0] == solutions[i];
  if (!matches) {
    // A line cut short by the stop says nothing against the solution.
    if (!engine->stopFlag.load()) foundDepth = NotSolved;
    return;
  }
  if (foundDepth == NotSolved) {
    foundTime = ElapsedMs(engine);
    foundDepth = d;
    foundNodes = SearchNodes(engine);
  } else if (d >= StopMinDepth && d > foundDepth + 1) {
    StopSearch(engine);
  }
}

SolutionListenerAM::SolutionListenerAM(Engine* engine, u32 avoidMove)
    : avoidMove(avoidMove), foundTime(0), foundNodes(0), engine(engine), foundDepth(0) {}

void SolutionListenerAM::onNewPV(const PVLine* pv, i32) {
  const i32 d = engine->depthReached;
  if (pv->length > 0 && pv->moves[0] == avoidMove) {
    foundDepth = NotSolved;
  } else if (foundDepth == NotSolved) {
    foundTime = ElapsedMs(engine);
    foundDepth = d;
    foundNodes = SearchNodes(engine);
  } else if (i64{ElapsedMs(engine)} > 2 * engine->timeController->getTime() &&
             d > foundDepth + 2) {
    StopSearch(engine);
  }
}
