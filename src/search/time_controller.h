// How long the engine may think on one move: tournament clocks, a fixed time per move, or no
// limit. The protocols set the clock, Think starts the controller, the search consults it.
#pragma once

#include <atomic>

#include "board/types.h"

struct Engine;

// Milliseconds of a monotonic clock: only differences are used, so a wall-clock jump cannot
// cost a game on time.
i64 NowMs();

// The root score last recorded by the dynamic controller's iterationDone.
extern i32 LastRootScore;

class TimeController {
 public:
  // dynamic: remaining clock; fixed: limit per move; unlimited: 999999999. Atomic: an XBoard
  // "time" sets the clock while the engine ponders.
  std::atomic<i64> time{5000};
  i64 startMs = 0;  // NowMs at the start of the current search
  Engine* engine = nullptr;  // set only for the dynamic controller
  bool firstIteration = false;

  virtual void setLevel(i32 moves, i32 timeMs) = 0;
  virtual void setTime(i32 ms) = 0;
  virtual i64 getTime() = 0;
  virtual void ponderHit() = 0;
  virtual void start(u32 lastMove, i32 movesToGo, i32 incrementMs) = 0;
  virtual void setPredictedMove(u32 bestMove, u32 ponderMove) = 0;
  virtual void setUnstable() = 0;
  virtual void setStable() = 0;
  virtual void iterationDone(i32 depth, u32 bestMove) = 0;
  virtual bool isTimeUp() = 0;
};

class DynamicTimeController : public TimeController {
 public:
  i32 movesPerControl = 10;
  i32 timePerControl = 60000;
  i64 allotted = 0;   // the normal time for this move
  i64 target = 0;     // the time after which the search stops
  i32 movesToGo = 0;  // the moves the remaining time must last, as used for this move
  i64 reserve = 3000;
  bool easyMove = false;
  u32 predictedMove = 0;
  u32 lastBestMove = 0;
  bool unstable = false;

  void setLevel(i32 moves, i32 timeMs) override;
  void setTime(i32 ms) override { time = ms; }
  i64 getTime() override { return time; }
  void ponderHit() override {}
  void start(u32 lastMove, i32 movesToGo, i32 incrementMs) override;
  void setPredictedMove(u32, u32 ponderMove) override { predictedMove = ponderMove; }
  void setUnstable() override { unstable = true; }
  void setStable() override { unstable = false; }
  void iterationDone(i32 depth, u32 bestMove) override;
  bool isTimeUp() override;

 private:
  void applyCap();
};

class FixedTimeController : public TimeController {
 public:
  void setLevel(i32, i32 timeMs) override { time = timeMs; }
  void setTime(i32 ms) override { time = ms; }
  i64 getTime() override { return time; }
  void ponderHit() override {}
  void start(u32 lastMove, i32 movesToGo, i32 incrementMs) override;
  void setPredictedMove(u32, u32) override {}
  void setUnstable() override {}
  void setStable() override {}
  void iterationDone(i32, u32) override {}
  bool isTimeUp() override;
};

class UnlimitedTimeController : public TimeController {
 public:
  UnlimitedTimeController() { time = 999999999; }
  void setLevel(i32, i32) override {}
  void setTime(i32 ms) override { time = ms; }
  i64 getTime() override { return time; }
  void ponderHit() override {}
  void start(u32 lastMove, i32 movesToGo, i32 incrementMs) override;
  void setPredictedMove(u32, u32) override {}
  void setUnstable() override {}
  void setStable() override {}
  void iterationDone(i32, u32) override {}
  bool isTimeUp() override { return false; }
};
