// The PV viewer and the search figures that the reports carry.
#include "protocol/pv_viewer.h"

#include <algorithm>

#include "protocol/protocol.h"
#include "search/engine.h"
#include "search/root_search.h"
#include "search/time_controller.h"

PVViewer::PVViewer(Engine* engine, Protocol* protocol)
    : lastLine{}, lastDepth(0), engine(engine), protocol(protocol) {}

static bool SameLine(const PVLine& a, const PVLine& b) {
  if (a.length != b.length || a.score != b.score || a.bound != b.bound) return false;
  return std::equal(a.moves, a.moves + std::clamp(a.length, 0, PVMaxLength), b.moves);
}

// sendPV's boundKind: 1 upper bound, 2 lower bound, 3 exact.
static i32 BoundKind(u8 bound) {
  return bound == PVUpperBound ? 1 : bound == PVLowerBound ? 2 : 3;
}

void PVViewer::onNewPV(const PVLine* pv, i32 multiPvIndex) {
  if (SameLine(*pv, lastLine) && engine->depthReached == lastDepth) return;
  u64 nodes = SearchNodes(engine);
  i64 elapsed = SearchElapsedMs(engine);
  protocol->sendPV(elapsed, engine->depthReached, engine->selDepth, nodes,
                   NodesPerSecond(nodes, elapsed), BoundKind(pv->bound), multiPvIndex, pv);
  lastLine = *pv;
  lastDepth = engine->depthReached;
}

u64 SearchTablebaseHits(const Engine* engine) {
  return SumSearchStats(engine).tablebaseHits;
}

i64 SearchElapsedMs(const Engine* engine) {
  return engine->timeController ? NowMs() - engine->timeController->startMs : 0;
}

i32 NodesPerSecond(u64 nodes, i64 elapsedMs) {
  if (nodes == 0) return 0;
  if (elapsedMs <= 0) return 2147483647;
  double nps = static_cast<double>(nodes) * 1000.0 / static_cast<double>(elapsedMs);
  return nps >= 2147483647.0 ? 2147483647 : static_cast<i32>(nps);
}

void RegisterPVViewer(Protocol* protocol) {
  // Registered once per process and never taken off.
  RegisterListener(protocol->engine, new PVViewer(protocol->engine, protocol));
}
