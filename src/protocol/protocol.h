// The interface between the engine and the chess interface: the main thread drives it with
// command lines, the worker thread reports moves, variations and results through it.
#pragma once

#include <atomic>
#include <string>

#include "board/types.h"
#include "search/pv_line.h"
#include "search/time_controller.h"

struct Engine;

// Result codes handed to sendResult.
enum ResultCode : i32 {
  ResultRepetition = 1,
  ResultFiftyMoves = 2,
  ResultInsufficientMaterial = 3,
  ResultStalemate = 4,
  ResultBlackWins = 5,  // White is checkmated
  ResultWhiteWins = 6,  // Black is checkmated
  ResultResign = 7,
};

class Protocol {
 public:
  // The engine's timeController always points to one of these three.
  DynamicTimeController dynamicTc;
  UnlimitedTimeController unlimitedTc;
  Engine* engine = nullptr;
  // Read by the worker when it decides whether to ponder, written by the main thread.
  std::atomic<u8> ponderAllowed{0};
  u32 multiPvCount = 1;
  FixedTimeController fixedTc;

  virtual void write(const std::string& text) = 0;
  virtual void writeLine(const std::string& text) = 0;
  virtual std::string readLine() = 0;
  // False ends the command loop.
  virtual bool handleCommand(const std::string& line) = 0;
  virtual void run() = 0;
  // The worker has played move; ponderMove is the expected reply or 0.
  virtual void sendBestMove(u32 move, u32 ponderMove) = 0;
  // boundKind: 1 upper bound, 2 lower bound, 3 exact.
  virtual void sendPV(i64 timeMs, i32 depth, i32 selDepth, u64 nodes, i32 nps, i32 boundKind,
                      i32 multiPvIndex, const PVLine* pv) = 0;
  virtual void sendCurrMove(u32 move, i32 moveNumber, i32 depth, i32 selDepth, u64 nodes,
                            i32 nps) = 0;
  virtual void sendInfo(const std::string& text) = 0;
  // True when the protocol has ended the game on the result: no move is played.
  virtual bool sendResult(i32 resultCode) = 0;
  virtual bool isPonderEnabled() = 0;
  // Moves left in the time control, 0 = unknown.
  virtual i32 movesToGo() = 0;
  virtual void setPost(bool post) = 0;
  // Increment per move in ms.
  virtual i32 increment() = 0;
};
