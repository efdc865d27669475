// The three time-allocation policies. The dynamic one splits the clock over the moves it
// expects to be left, saves time on expected replies and recaptures, and stretches the target
// when the best move or score changes between iterations.
#include "search/time_controller.h"

#include <chrono>
#include <cmath>
#include <cstdlib>

#include "search/engine.h"

i32 LastRootScore = 0;

i64 NowMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

static i32 RootScore(const Engine* engine) { return engine->frames[0].line.score; }

// Moves the game may still last, judged from the material on the board and the game ply.
static i64 MovesLeftEstimate(const Board* board) {
  i64 white = board->material[White];
  i64 black = board->material[Black];
  u32 us = SideToMove(board);
  i64 ours = us == White ? white : black;
  i64 theirs = us == White ? black : white;
  i64 ply = board->gamePly;
  i64 estimate = (white + black) / 800 - std::llabs(ours - theirs) / 15 - (ply / 2) / 10 + 60;
  return estimate < 8 ? 8 : estimate;
}

void DynamicTimeController::setLevel(i32 moves, i32 timeMs) {
  movesPerControl = moves;
  timePerControl = timeMs;
  reserve = moves == 0 ? 0 : (timeMs / moves) / 2;
}

void DynamicTimeController::applyCap() {
  i64 cap = static_cast<i64>(static_cast<double>(time) / std::sqrt(2.0 * movesToGo + 2.0));
  if (target > cap) target = cap;
}

void DynamicTimeController::start(u32 lastMove, i32 movesToGoHint, i32 incrementMs) {
  const Board* board = engine->board;
  i64 estimate = MovesLeftEstimate(board);
  // No usable count (0, or -1 from a "movestogo" without its number): the estimate.
  i64 mtg = movesToGoHint > 0 ? movesToGoHint : estimate;
  movesToGo = static_cast<i32>(mtg);
  lastBestMove = 0;

  i64 inc = mtg * static_cast<i64>(incrementMs);
  if (time >= (3 * reserve) / 2) {
    allotted = (time - reserve + inc) / (mtg < estimate ? mtg : estimate);
  } else {
    allotted = (time + inc) / mtg;
  }
  if (time <= 9999) allotted /= 2;

  if (lastMove == predictedMove && !easyMove) {
    // Two expected replies in a row do not both shorten the time.
    easyMove = true;
    const GameHistory* history = engine->history;
    bool recapture = history->count > 1 &&
                     MoveTo(history->entries[history->count - 1].move) ==
                         MoveTo(history->entries[history->count - 2].move);
    target = recapture ? allotted / 4 : allotted / 2;
  } else {
    target = allotted;
    easyMove = false;
  }
  applyCap();
  firstIteration = true;
  startMs = NowMs();
}

void DynamicTimeController::iterationDone(i32 depth, u32 bestMove) {
  if (depth <= 1) {
    LastRootScore = RootScore(engine);
    lastBestMove = bestMove;
    return;
  }
  firstIteration = false;
  if (depth <= 4) {
    LastRootScore = RootScore(engine);
    lastBestMove = bestMove;
    return;
  }
  if (time < (3 * reserve) / 2) return;
  i32 score = RootScore(engine);
  if (NowMs() - startMs > target / 8) {
    if (bestMove == lastBestMove) {
      i64 delta = std::llabs(static_cast<i64>(LastRootScore) - score);
      if (delta > 30) {
        i64 stretched = static_cast<i64>((delta / 200.0 + 1.0) * static_cast<double>(target));
        target = stretched < 6 * allotted ? stretched : 6 * allotted;
        LastRootScore = score;
      }
    } else {
      i64 stretched = target * 3 / 2;
      target = stretched < 5 * allotted ? stretched : 5 * allotted;
    }
  }
  applyCap();
  lastBestMove = bestMove;
}

bool DynamicTimeController::isTimeUp() {
  if (firstIteration) return false;
  if (engine->ponderMode.load() == PonderOn) return false;
  i64 elapsed = NowMs() - startMs;
  if (unstable) return elapsed > static_cast<i64>(0.8 * static_cast<double>(time));
  return elapsed > target;
}

void FixedTimeController::start(u32, i32, i32) { startMs = NowMs(); }

bool FixedTimeController::isTimeUp() { return NowMs() - startMs > time; }

void UnlimitedTimeController::start(u32, i32, i32) { startMs = NowMs(); }
