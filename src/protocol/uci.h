// The UCI front end: the commands of a UCI interface, the parameters as UCI options, and the
// worker's reports as "info" and "bestmove" lines. Every "go" is answered by exactly one
// "bestmove" ("bestmove 0000" after a depth-0 score line when the position has no legal move),
// in ponder mode only after "ponderhit" or "stop"; a "go" during a search ends that one first.
#pragma once

#include <atomic>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "protocol/protocol.h"
#include "search/pv_line.h"

// The word after the first occurrence of key anywhere in text (one separator skipped), up to
// the next blank; empty when the key is absent or nothing follows it.
std::string TokenAfter(const std::string& key, const std::string& text);
// TokenAfter read as a decimal number (saturated to 32 bits); -1 when there is no word, 0 when
// the word is not a number.
i32 IntAfter(const std::string& key, const std::string& text);

// The millisecond budget given to the fixed controller for "go movetime T": the move has to
// arrive within T, counted by the interface from its "go", so the search stops a little early.
i32 MoveTimeBudget(i32 moveTimeMs);

// The clock given to the dynamic controller for "go wtime/btime": the interface's clock less a
// reserve of 50 ms (half of it below 100 ms) for the time the interface counts and the engine
// cannot see.
i32 ClockBudget(i32 clockMs);

// The "score ..." part of an info line: "score mate N" in the mate band, else "score cp N".
std::string UciScore(i32 score);
// What follows the score of a line whose score is only a bound of the search window:
// " lowerbound" (boundKind 2), " upperbound" (1); nothing for an exact score.
std::string UciBoundWord(i32 boundKind);

// The 64 plies that "position debug" plays from the start.
extern const char UciDebugMoves[];

class UciGUI : public Protocol {
 public:
  u32 heldBestMove = 0;  // a move held back while ponderAllowed was set
  std::atomic<i32> goIncrement{0};
  std::atomic<i32> goMovesToGo{0};

  void write(const std::string& text) override;
  void writeLine(const std::string& text) override;
  std::string readLine() override;
  bool handleCommand(const std::string& line) override;
  void run() override;
  void sendBestMove(u32 move, u32 ponderMove) override;
  void sendPV(i64 timeMs, i32 depth, i32 selDepth, u64 nodes, i32 nps, i32 boundKind,
              i32 multiPvIndex, const PVLine* pv) override;
  void sendCurrMove(u32 move, i32 moveNumber, i32 depth, i32 selDepth, u64 nodes,
                    i32 nps) override;
  void sendInfo(const std::string& text) override;
  // Writes nothing and lets the engine play on; a position without a legal move is where a
  // pending "go" gets its "bestmove 0000".
  bool sendResult(i32 resultCode) override;
  bool isPonderEnabled() override { return false; }
  i32 movesToGo() override { return goMovesToGo.load(); }
  void setPost(bool) override {}
  i32 increment() override { return goIncrement.load(); }

  // Options that change what a search reads (Hash, ClearHash, NalimovPath, NalimovCache,
  // UseNalimov, MultiPV) and arrive while one runs wait here, in order, until the worker is
  // idle; they are applied before the next search starts.
  std::vector<std::pair<std::string, std::string>> pendingOptions;

 private:
  void commandUci();
  void commandPosition(const std::string& arguments);
  void commandGo(const std::string& arguments);
  void commandSetOption(const std::string& arguments);
  // Ends the search, waits for its move and writes a held one.
  void commandStop();
  // Lets a ponder search go on as the real one, without waiting for it.
  void commandPonderHit();
  // Waits until the worker is idle and takes thinkMutex; false (nothing held) while a search
  // runs.
  bool lockWhenIdle(std::unique_lock<std::mutex>* lock);
  void applyOption(const std::string& name, const std::string& value);
  void applyPendingOptions();
  void resetGame();
  // Writes the move (or holds it while ponderAllowed is set) as this go's one bestmove. The
  // caller holds reportMutex.
  void deliverBestMove(u32 move, u32 ponderMove, bool withSummary);

  // Takes back the moves the engine has played since the last "position": every "go"
  // searches the position the interface set. The caller holds thinkMutex.
  void restorePosition();
  // Writes the lines kept back by the quiet start when this search has written none, so that
  // every move comes with its score. The caller holds reportMutex.
  void writeQuietLines();
  // Writes a move held back for "ponderhit" or "stop" as this go's bestmove. The caller holds
  // reportMutex.
  void writeHeldMove();

  std::mutex reportMutex;  // guards the fields below
  bool moveOwed = false;   // a "go" has not had its bestmove yet
  bool moveHeld = false;
  u32 heldPonderMove = 0;
  bool holdUntilStop = false;  // "go infinite" or "go mate": the move waits for "stop"
  bool lineWritten = false;    // this search has written a score line
  // The last line of each MultiPV index (0: the single line) that the quiet start kept back.
  std::string quietLines[MultiPvCapacity + 1];

  // Moves the engine has played on the game since "position"; guarded by thinkMutex.
  u32 movesSincePosition = 0;
};
