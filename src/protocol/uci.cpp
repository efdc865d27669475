// The UCI command interpreter: the option list, positions, searches and their release.
#include "protocol/uci.h"

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <thread>

#include "board/fen.h"
#include "config/params.h"
#include "protocol/apply_moves.h"
#include "protocol/command_loop.h"
#include "protocol/pv_viewer.h"
#include "protocol/table_settings.h"
#include "search/engine.h"
#include "search/history_table.h"
#include "search/root_search.h"

const char UciDebugMoves[] =
    "startpos moves e2e4 e7e5 g1f3 b8c6 f1b5 a7a6 b5a4 g8f6 e1g1 f8e7 f1e1 b7b5 a4b3 d7d6 c2c3 "
    "e8g8 h2h3 c6a5 b3c2 c7c5 d2d4 d8c7 b1d2 c5d4 c3d4 a5c6 d2b3 a6a5 c1e3 a5a4 b3d2 c6b4 c2b1 "
    "c8b7 a2a3 b4c6 d4d5 c6a5 b1d3 b7a6 a1c1 c7b7 d1e2 a5c4 d2c4 b5c4 d3c4 f6e4 c4a6 a8a6 c1c7 "
    "b7c7 e2a6 c7c2 a6b7 e7d8 e1c1 c2e2 b7b4 f7f5 c1e1 e2a6 e1c1 a6e2";

std::string TokenAfter(const std::string& key, const std::string& text) {
  std::size_t at = text.find(key);
  if (at == std::string::npos) return "";
  std::size_t start = at + key.size() + 1;
  if (start >= text.size()) return "";
  std::size_t end = text.find(' ', start);
  return text.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

i32 IntAfter(const std::string& key, const std::string& text) {
  std::string word = TokenAfter(key, text);
  if (word.empty()) return -1;
  long value = std::strtol(word.c_str(), nullptr, 10);
  return static_cast<i32>(std::clamp<long>(value, INT_MIN, INT_MAX));
}

i32 MoveTimeBudget(i32 moveTimeMs) {
  // Measured: the search stops about 1 ms after the budget, but on a loaded machine the line
  // in, waking the worker and the line out add 10 ms and more as the interface counts them.
  i32 margin = 10 + moveTimeMs / 20;
  return std::max(moveTimeMs - std::min(margin, 60), 1);
}

i32 ClockBudget(i32 clockMs) {
  // What the interface counts beyond the engine's own clock (the lines through the pipes, the
  // wake-up, a loaded machine's scheduling) comes off every move; kept back once, it keeps a
  // game at 1 s + 10 ms from running the clock past zero.
  return clockMs > 0 ? clockMs - std::min(50, clockMs / 2) : clockMs;
}

void UciGUI::write(const std::string& text) { WriteProtocolText(text); }
void UciGUI::writeLine(const std::string& text) { WriteProtocolLine(text); }
std::string UciGUI::readLine() { return ReadProtocolLineOrExit(); }

void UciGUI::run() {
  RegisterPVViewer(this);
  engine->timeController = &dynamicTc;
  dynamicTc.engine = engine;
  commandLoop();
}

bool UciGUI::handleCommand(const std::string& line) {
  std::size_t blank = line.find(' ');
  std::string word = line.substr(0, blank);
  std::string arguments = blank == std::string::npos ? "" : line.substr(blank + 1);
  if (!pendingOptions.empty() && word != "isready") {
    std::unique_lock<std::mutex> idle;
    if (lockWhenIdle(&idle)) applyPendingOptions();
  }

  if (word == "uci") {
    commandUci();
  } else if (word == "isready") {
    writeLine("readyok");
  } else if (word == "position") {
    commandPosition(arguments);
  } else if (word == "go") {
    commandGo(arguments);
  } else if (word == "stop") {
    commandStop();
  } else if (word == "ponderhit") {
    commandPonderHit();
  } else if (word == "setoption") {
    commandSetOption(arguments);
  } else if (word == "quit") {
    QuitEngine(engine);
    return false;
  }
  return true;
}

void UciGUI::commandUci() {
  writeLine("id name Tervik 2.0.0");
  writeLine("id author Brenvald");
  writeLine("option name MultiPV type spin min 1 max 20 default 1");
  writeLine("option name NalimovPath type string default c:\\");
  writeLine("option name UseNalimov type check default true");
  writeLine("option name ClearHash type button");
  for (i32 i = 0; i < Params.count; ++i) {
    const ParamRef* param = Params.items[i];
    if (!param->visible) continue;
    if (param->isInt()) {
      const IntParam* p = static_cast<const IntParam*>(param);
      writeLine("option name " + p->name + " type spin default " + p->toString() + " min " +
                std::to_string(p->minimum) + " max  " + std::to_string(p->maximum));
    } else {
      writeLine("option name " + param->name + " type check default " + param->toString());
    }
  }
  writeLine("uciok");
}

// After its bestmove the worker takes a moment to go back to its wait, and the interface's
// next command often comes within it; StopSearch would then sleep 10 ms, which every move would
// pay from its clock. A busy worker is waited for in short steps instead.
static void WaitOutBusyWorker(Engine* engine) {
  while (engine->threadState.load() == ThreadBusy)
    std::this_thread::sleep_for(std::chrono::microseconds(100));
}

void UciGUI::resetGame() {
  GameHistory* history = engine->history;
  history->count = 0;
  history->learnDone = 0;
  history->fullRestores = 0;
  history->partialRestores = 0;
  SetFen(engine->board, StartFen);
  engine->board->phase = Opening;
  engine->ponderMove = 0;
}

void UciGUI::commandPosition(const std::string& given) {
  WaitOutBusyWorker(engine);
  StopSearch(engine);
  {
    // An analysis that was never stopped still owes its move; a pondering search is
    // abandoned without one, also when it had nothing to search (a finished game).
    std::lock_guard<std::mutex> report(reportMutex);
    if (holdUntilStop) {
      writeHeldMove();
    } else if (moveHeld) {
      moveHeld = false;
      moveOwed = false;
    }
  }
  std::lock_guard<std::mutex> lock(engine->thinkMutex);
  applyPendingOptions();
  restorePosition();
  std::string arguments = given;
  if (arguments.find("startpos") != std::string::npos) {
    resetGame();
  } else if (!TokenAfter("fen", arguments).empty()) {
    std::string fen = arguments.substr(arguments.find("fen") + 4);
    // A refused position must not leave a half-built board: check it on a scratch one.
    Board scratch;
    if (!SetFen(&scratch, fen.c_str())) {
      sendInfo("Illegal position, the previous one is kept: " + fen.substr(0, 200));
      return;
    }
    resetGame();
    SetFen(engine->board, fen.c_str());
    ClearHistory();
  } else if (arguments.find("debug") != std::string::npos) {
    resetGame();
    arguments = UciDebugMoves;
  }
  std::size_t moves = arguments.find("moves");
  if (moves == std::string::npos || moves + 6 >= arguments.size()) return;
  std::vector<std::string> skipped = ApplyMoves(this, arguments.substr(moves + 6));
  if (skipped.empty()) return;
  std::string list;
  for (const std::string& token : skipped) {
    if (list.size() > 200) {
      list += " ...";
      break;
    }
    list += " " + token;
  }
  sendInfo("Illegal or unreadable moves skipped:" + list);
}

bool UciGUI::lockWhenIdle(std::unique_lock<std::mutex>* lock) {
  // A worker that is still busy with its last move (writing it, going back to its wait) is
  // waited for: changing the search mode under its feet could start a search nobody asked for.
  WaitOutBusyWorker(engine);
  if (engine->threadState.load() == ThreadThinking) return false;
  *lock = std::unique_lock<std::mutex>(engine->thinkMutex);
  return true;
}

void UciGUI::commandGo(const std::string& arguments) {
  // An interface that sends "go" without waiting for the last bestmove finds that search still
  // running or starting: it ends as "stop" ends it, its move (or a held one) written, so that
  // this search is set up while none reads the settings and starts from the last "position",
  // not from the position after that move.
  commandStop();
  std::unique_lock<std::mutex> lock(engine->thinkMutex);
  applyPendingOptions();
  restorePosition();
  auto has = [&](const char* key) { return arguments.find(key) != std::string::npos; };
  auto present = [&](const char* key) { return !TokenAfter(key, arguments).empty(); };
  bool analysis = has("infinite") || has("mate");
  {
    std::lock_guard<std::mutex> report(reportMutex);
    heldBestMove = 0;
    moveHeld = false;
    moveOwed = true;
    holdUntilStop = analysis;
    lineWritten = false;
    for (std::string& quiet : quietLines) quiet.clear();
  }
  engine->analysing = 0;
  if (analysis) {
    engine->timeController = &unlimitedTc;
    unlimitedTc.engine = engine;
    engine->analysing = 1;
    goIncrement = 0;
  } else if (has("movetime")) {
    engine->timeController = &fixedTc;
    fixedTc.engine = engine;
    if (present("movetime")) fixedTc.setTime(MoveTimeBudget(IntAfter("movetime", arguments)));
    goIncrement = 0;
  } else if (has("depth") && !has("wtime") && !has("btime")) {
    // A depth without a clock is fixed-depth analysis: the depth alone ends it.
    engine->timeController = &unlimitedTc;
    unlimitedTc.engine = engine;
    goIncrement = 0;
  } else {
    engine->timeController = &dynamicTc;
    dynamicTc.engine = engine;
    bool white = SideToMove(engine->board) == White;
    const char* timeKey = white ? "wtime" : "btime";
    i32 inc = IntAfter(white ? "winc" : "binc", arguments);
    // A clock of -1 (overstepped by a millisecond) is a clock, not a missing one.
    if (present(timeKey)) dynamicTc.setTime(ClockBudget(IntAfter(timeKey, arguments)));
    goIncrement = inc == -1 ? 0 : inc;
  }
  i32 movesToGoValue = IntAfter("movestogo", arguments);
  goMovesToGo = movesToGoValue == -1 ? 0 : movesToGoValue;
  i32 depth = IntAfter("depth", arguments);
  engine->maxDepth = depth == -1 ? DefaultMaxDepth : ClampDepthLimit(depth);
  bool ponder = has("ponder");
  ponderAllowed = ponder ? 1 : 0;
  engine->ponderMode = ponder ? PonderOn : PonderOff;
  lock.unlock();
  WakeEngine(engine);
}

void UciGUI::commandStop() {
  {
    std::lock_guard<std::mutex> report(reportMutex);
    holdUntilStop = false;
    // Cleared before the search is released, or its move would be held with nobody left to
    // write it.
    ponderAllowed = 0;
  }
  engine->ponderMode = PonderOff;
  WaitOutBusyWorker(engine);
  StopSearch(engine);
  {
    std::lock_guard<std::mutex> think(engine->thinkMutex);
    applyPendingOptions();
  }
  std::lock_guard<std::mutex> report(reportMutex);
  writeHeldMove();
}

void UciGUI::commandPonderHit() {
  // The ponder search becomes the real one and goes on under the clock; this never waits for
  // it, so that the commands after it are answered while it runs. Options held back wait for
  // the next command after its move. Outside a ponder search it changes nothing.
  std::lock_guard<std::mutex> report(reportMutex);
  if (!ponderAllowed.load() || !moveOwed) return;
  ponderAllowed = 0;
  if (engine->timeController) engine->timeController->ponderHit();
  engine->ponderMode = PonderOff;
  // A finished game's move was held for this; an analysis goes on until "stop".
  if (!holdUntilStop) writeHeldMove();
}

void UciGUI::restorePosition() {
  for (; movesSincePosition > 0 && engine->history->count > 0; --movesSincePosition)
    UndoMove(engine->history);
  movesSincePosition = 0;
}

void UciGUI::commandSetOption(const std::string& arguments) {
  std::string name = TokenAfter("name", arguments);
  std::string value = TokenAfter("value", arguments);
  if (name == "Logfile") return;
  if (name == "Clear" && arguments == "name Clear Hash") name = "ClearHash";
  bool tableOption = name == "MultiPV" || name == "Hash" || name == "ClearHash" ||
                     name == "NalimovPath" || name == "NalimovCache" || name == "UseNalimov";
  if (!tableOption) {
    if (ParamRef* param = LookupParam(name)) param->set(value);
    return;
  }
  std::unique_lock<std::mutex> lock;
  if (lockWhenIdle(&lock)) {
    applyPendingOptions();
    applyOption(name, value);
  } else {
    pendingOptions.emplace_back(name, value);
  }
}

void UciGUI::applyOption(const std::string& name, const std::string& value) {
  if (name == "MultiPV") {
    // Held to the listed 1..20, as every number option is.
    long lines = std::strtol(value.c_str(), nullptr, 10);
    multiPvCount = static_cast<u32>(std::clamp<long>(lines, 1, MaxMultiPv));
  } else if (name == "Hash") {
    ResizeTableForHash(std::strtol(value.c_str(), nullptr, 10));
  } else if (name == "ClearHash") {
    ClearTable();
  } else if (name == "NalimovPath") {
    if (RegisterTablebases(value.c_str()) > 0) engine->useTablebases = 1;
  } else if (name == "NalimovCache") {
    ResizeTablebaseCache(std::strtol(value.c_str(), nullptr, 10));
  } else if (name == "UseNalimov") {
    engine->useTablebases = value == "true" ? 1 : 0;
  }
}

void UciGUI::applyPendingOptions() {
  for (const auto& [name, value] : pendingOptions) applyOption(name, value);
  pendingOptions.clear();
}
