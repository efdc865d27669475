// The engine object through which the protocols drive the search: the game, the search stack,
// the listeners and the worker thread that thinks, plays and ponders.
#pragma once

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "board/board.h"
#include "board/move_list.h"
#include "eval/accumulator.h"
#include "search/game_history.h"
#include "search/pv_line.h"
#include "search/search_frame.h"

struct BookPair;
class PVListener;
class Protocol;
class TimeController;

constexpr i32 ListenerCapacity = 5;
constexpr i32 DefaultMaxDepth = 59;

// A depth limit of the protocols, held to 1..59: the search stack has 60 frames and the table
// stores depths in a small field.
inline i32 ClampDepthLimit(i64 plies) {
  return static_cast<i32>(std::clamp<i64>(plies, 1, DefaultMaxDepth));
}

enum ThreadState : i32 { ThreadNotStarted = 0, ThreadIdle = 1, ThreadThinking = 2, ThreadBusy = 3 };
enum PonderMode : i32 { PonderOff = 0, PonderOn = 1, PonderAbandoned = 2 };

// One per process, created by the protocol object with new (it is large) and kept to the end.
// Fields touched by both threads without a lock are atomics; goFlag is guarded by wakeMutex;
// the game, the frames and the settings of a search belong to whoever holds thinkMutex.
struct Engine {
  BookPair* bookPair;        // owned
  MoveList bookCandidates;   // scores: weights with 30 fraction bits
  Board* board;              // owned; the current game position
  TimeController* timeController;  // one of the protocol's three
  std::atomic<i32> threadState;
  std::atomic<i32> ponderMode;
  std::atomic<u32> ponderMove;  // expected reply after the engine's move; while pondering, the move pushed
  i32 depthReached;
  i32 maxDepth;
  i32 selDepth;
  GameHistory* history;      // owned
  SearchFrame frames[SearchFrameCount];
  Accumulator accumulators[SearchFrameCount];
  MultiPvList multiPv;
  u8 useTablebases;
  u8 analysing;
  PVListener* listeners[ListenerCapacity];
  i32 listenerCount;
  std::thread thread;
  std::condition_variable wakeCondition;
  std::mutex wakeMutex;
  std::mutex thinkMutex;
  std::atomic<u8> stopFlag;
  u8 goFlag;
  std::atomic<u8> quitFlag;
  Protocol* protocol;

  // Returns once the worker waits for its first command.
  explicit Engine(Protocol* protocol);
  // The program keeps its engine; tests end theirs, quitting the worker first.
  ~Engine();
  Engine(const Engine&) = delete;
  Engine& operator=(const Engine&) = delete;
};

void* SearchThreadEntry(void* engine);
void SearchThreadLoop(Engine* engine);

// Clears stopFlag and wakes the worker to think. The caller sets timeController and its budget,
// ponderMode, analysing and maxDepth first.
void WakeEngine(Engine* engine);
// Stops a running search and returns once the worker is idle. A stop asked while the engine
// thinks on its own move also cancels the pondering that would follow, and a search dropped
// after the worker pushed its expected reply leaves the game as it was before that push: the
// caller never takes back a pondered move itself.
void StopSearch(Engine* engine);
// Stops the search and ends the worker thread.
void QuitEngine(Engine* engine);
// The counters of every frame of the last search, summed.
SearchStats SumSearchStats(const Engine* engine);
// Adds each counter of `part` to `total`.
void AddSearchStats(SearchStats* total, const SearchStats& part);
// Refused (false) when all five places are taken.
bool RegisterListener(Engine* engine, PVListener* listener);
// Takes a registered listener off, the later ones moving down one place; false when it was not
// registered.
bool RemoveListener(Engine* engine, PVListener* listener);
