// The protocols' listener: every new principal variation of the search becomes one sendPV
// report, with the search's node count, elapsed time and speed.
#pragma once

#include "search/pv_line.h"
#include "search/pv_listener.h"

struct Engine;
class Protocol;

class PVViewer : public PVListener {
 public:
  PVLine lastLine;  // the last line reported
  i32 lastDepth;    // the engine's depthReached at that report
  Engine* engine;
  Protocol* protocol;

  PVViewer(Engine* engine, Protocol* protocol);
  // Called on the searching thread; a line already reported at this depth (with the same
  // score and bound) is not repeated. The report carries the line's bound.
  void onNewPV(const PVLine* pv, i32 multiPvIndex) override;
};

// The tablebase hits of the search, summed over the 60 frames (the nodes: SearchNodes).
u64 SearchTablebaseHits(const Engine* engine);
// Elapsed milliseconds since the active controller's start.
i64 SearchElapsedMs(const Engine* engine);
// nodes x 1000 / elapsed as a 32-bit number, saturated: the first millisecond with nodes
// gives 2147483647, no nodes give 0.
i32 NodesPerSecond(u64 nodes, i64 elapsedMs);

// The part of run that both front ends share: a viewer registered with the protocol's engine.
void RegisterPVViewer(Protocol* protocol);
