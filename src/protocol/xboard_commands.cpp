// The XBoard command interpreter: the dispatch of a line, the game, clock and mode commands,
// and the path of a line that is a move.
#include <algorithm>
#include <cstdio>
#include <mutex>
#include <thread>

#include "board/attack_map.h"
#include "board/fen.h"
#include "board/movegen.h"
#include "board/notation.h"
#include "board/zobrist.h"
#include "protocol/uci.h"
#include "protocol/xboard.h"
#include "search/engine.h"
#include "search/history_table.h"
#include "tools/console_commands.h"

// The commands an interface sends; "quit", "move" (force mode only), the console commands and
// moves are dispatched apart. Guarded ones stop the search and hold thinkMutex while they act.
const XBoardGUI::Command XBoardGUI::Commands[] = {
    {"protover", false, &XBoardGUI::commandProtover},
    {"accepted", false, &XBoardGUI::commandIgnored},
    {"rejected", false, &XBoardGUI::commandIgnored},
    {"xboard", false, &XBoardGUI::commandXBoard},
    {"random", false, &XBoardGUI::commandIgnored},
    {"ponder", false, &XBoardGUI::commandPonder},
    {"draw", false, &XBoardGUI::commandIgnored},
    {"otim", false, &XBoardGUI::commandIgnored},
    {"time", false, &XBoardGUI::commandTime},
    {"ping", false, &XBoardGUI::commandPing},
    {"level", false, &XBoardGUI::commandLevel},
    {"result", true, &XBoardGUI::commandResult},
    {"easy", true, &XBoardGUI::commandEasy},
    {"hard", true, &XBoardGUI::commandHard},
    {"white", true, &XBoardGUI::commandWhite},
    {"black", true, &XBoardGUI::commandBlack},
    {"setboard", true, &XBoardGUI::commandSetBoard},
    {"?", true, &XBoardGUI::commandMoveNow},
    {"new", true, &XBoardGUI::commandNew},
    {"analyze", true, &XBoardGUI::commandAnalyze},
    {"undo", true, &XBoardGUI::commandUndo},
    {"remove", true, &XBoardGUI::commandRemove},
    {"sd", true, &XBoardGUI::commandSd},
    {"st", true, &XBoardGUI::commandSt},
    {"exit", true, &XBoardGUI::commandExit},
    {"force", true, &XBoardGUI::commandForce},
    {"hint", false, &XBoardGUI::commandHint},
    {"go", false, &XBoardGUI::commandGo},
    {"post", false, &XBoardGUI::commandPost},
    {"nopost", false, &XBoardGUI::commandNoPost},
    {"variant", false, &XBoardGUI::commandVariant},
};

static i32 ToI32(i64 value) { return static_cast<i32>(std::clamp<i64>(value, INT32_MIN, INT32_MAX)); }

// "time" and "otim" count in centiseconds.
static i32 ClockOf(const std::string& centiseconds) {
  return ToI32(std::clamp<i64>(ReadNumber(centiseconds), INT32_MIN / 10, INT32_MAX / 10) * 10);
}

template <typename Body>
void XBoardGUI::guarded(Body body) {
  StopSearch(engine);
  {
    std::lock_guard<std::mutex> lock(engine->thinkMutex);
    applyDeferred();
    body();
  }
  // The stop ended a running analysis; it goes on with the changed game or settings.
  if (analyseMode.load()) restartAnalysis(1);
}

bool XBoardGUI::workerIdle() const { return engine->threadState.load() == ThreadIdle; }

void XBoardGUI::applyDeferred() {
  for (const auto& [word, arguments] : deferred) {
    if (word == "level") {
      applyLevel(arguments);
    } else {
      gameController()->setTime(ClockOf(arguments));
    }
  }
  deferred.clear();
}

TimeController*& XBoardGUI::gameController() {
  return analyseMode.load() ? analysedGameController : engine->timeController;
}

void XBoardGUI::restartAnalysis(u8 analysing) {
  // Whatever a console command left active, an analysis has no time limit.
  engine->timeController = &unlimitedTc;
  engine->ponderMode = PonderOn;
  engine->analysing = analysing;
  WakeEngine(engine);
}

void XBoardGUI::wakeToPlay() {
  engine->analysing = 0;
  WakeEngine(engine);
}

bool XBoardGUI::handleCommand(const std::string& line) {
  // An empty line reaches the interpreter as "\n": it is the empty word.
  std::string text = line == "\n" ? std::string() : line;
  std::size_t blank = text.find(' ');
  std::string word = text.substr(0, blank);
  std::string arguments = blank == std::string::npos ? "" : text.substr(blank + 1);
  if (!deferred.empty() && workerIdle()) {
    std::lock_guard<std::mutex> lock(engine->thinkMutex);
    applyDeferred();
  }

  if (word == "quit") {
    QuitEngine(engine);
    return false;
  }
  for (const Command& command : Commands) {
    if (word != command.word) continue;
    if (command.guarded) {
      guarded([&] { (this->*command.action)(arguments); });
    } else {
      (this->*command.action)(arguments);
    }
    return true;
  }
  if (word == "move" && forceMode) {
    guarded([&] { commandSanMove(arguments); });
  } else if (IsConsoleCommand(word, xboardMode.load() != 0)) {
    guarded([&] { RunConsoleCommand(this, word, arguments); });
  } else {
    movePath(word);
  }
  return true;
}

void XBoardGUI::commandXBoard(const std::string&) { xboardMode = 1; }

void XBoardGUI::commandProtover(const std::string& arguments) {
  if (arguments == "2") writeLine("feature setboard=1 colors=0");
}

void XBoardGUI::commandPonder(const std::string& arguments) { ponderOn = arguments == "on" ? 1 : 0; }

void XBoardGUI::commandTime(const std::string& arguments) {
  // The clock is set at once, also while the engine ponders or analyses; after a "level" that
  // is waiting it waits too, to be set on the controller that "level" chooses.
  if (!deferred.empty()) {
    deferred.emplace_back("time", arguments);
  } else {
    gameController()->setTime(ClockOf(arguments));
  }
}

void XBoardGUI::commandPing(const std::string& arguments) { writeLine("pong " + arguments); }

void XBoardGUI::commandLevel(const std::string& arguments) {
  // The level reads the game and switches the controller a search reads: not under a
  // running search.
  if (!workerIdle()) {
    deferred.emplace_back("level", arguments);
    return;
  }
  std::lock_guard<std::mutex> lock(engine->thinkMutex);
  applyLevel(arguments);
}

void XBoardGUI::applyLevel(const std::string& arguments) {
  LevelSettings level = ParseLevel(arguments);
  gameController() = &dynamicTc;
  dynamicTc.engine = engine;
  levelMoves = level.moves;
  incrementMs = ToI32(level.incrementMs);
  startMove = board->gamePly / 2;
  dynamicTc.setLevel(level.moves, ToI32(level.baseMs));
}

void XBoardGUI::commandResult(const std::string& arguments) {
  // A game the engine ended itself has been learned when it reported the result.
  learnGame(LearningCodeOfResultText(arguments));
}

void XBoardGUI::commandEasy(const std::string&) { ponderAllowed = 0; }
void XBoardGUI::commandHard(const std::string&) { ponderAllowed = 1; }

void XBoardGUI::commandWhite(const std::string&) {
  if (SideToMove(board) == Black) handOverTheMove();
}

void XBoardGUI::commandBlack(const std::string&) {
  if (SideToMove(board) == White) handOverTheMove();
}

void XBoardGUI::handOverTheMove() {
  // A side in check that gave up the move would have its king taken: refused as "setboard"
  // refuses such a position.
  if (InCheck(board)) {
    writeLine("tellusererror Illegal position");
    return;
  }
  board->gamePly += 1;
  board->key ^= ZobristSide;
  // Taking en passant was the right of the side that gave up the move; the other side would
  // take a pawn that is not there.
  board->key ^= ZobristEnPassant[board->epSquare] ^ ZobristEnPassant[NoSquare];
  board->epSquare = NoSquare;
}

void XBoardGUI::commandSetBoard(const std::string& arguments) {
  // A refused position must not leave a half-built board: check it on a scratch one.
  Board scratch;
  if (!SetFen(&scratch, arguments.c_str())) {
    writeLine("tellusererror Illegal position");
    return;
  }
  SetFen(board, arguments.c_str());
  ClearHistory();
  // The moves before it are of another position: nothing to take back or repeat.
  engine->history->count = 0;
}

void XBoardGUI::commandNew(const std::string&) {
  GameHistory* history = engine->history;
  history->count = 0;
  history->learnDone = 0;
  SetFen(history->board, StartFen);
  history->board->phase = Opening;
  history->fullRestores = 0;
  history->partialRestores = 0;
  forceMode = 0;
}

void XBoardGUI::commandAnalyze(const std::string&) {
  // Guarded, and the analysis starts after the guard: a search under way is stopped first.
  // The game's controller waits, untouched, for the end of the analysis.
  if (!analyseMode.load()) analysedGameController = engine->timeController;
  analyseMode = 1;
  forceMode = 1;
  ponderOn = 0;
}

void XBoardGUI::commandUndo(const std::string&) {
  if (engine->history->count >= 1) UndoMove(engine->history);
}

void XBoardGUI::commandRemove(const std::string&) {
  // An expected reply that the engine pondered on has gone with the stop.
  if (engine->history->count > 1) {
    UndoMove(engine->history);
    UndoMove(engine->history);
  }
}

void XBoardGUI::commandSd(const std::string& arguments) {
  engine->maxDepth = ClampDepthLimit(ReadNumber(arguments));
}

void XBoardGUI::commandSt(const std::string& arguments) {
  gameController() = &fixedTc;
  fixedTc.engine = engine;
  // The interface counts the move's lines and the wake-up too: the search stops a little early.
  i64 seconds = std::clamp<i64>(ReadNumber(arguments), 0, INT32_MAX / 1000);
  fixedTc.time = MoveTimeBudget(static_cast<i32>(seconds * 1000));
}

void XBoardGUI::commandExit(const std::string&) {
  engine->ponderMode = PonderAbandoned;
  leaveAnalysis();
}

void XBoardGUI::leaveAnalysis() {
  if (analyseMode.load()) engine->timeController = analysedGameController;
  analyseMode = 0;
  ponderOn = 1;
}

void XBoardGUI::commandForce(const std::string&) { forceMode = 1; }

void XBoardGUI::commandHint(const std::string&) {
  u32 hint = hintMove.load();
  if (hint) writeLine("Hint: " + MoveToText(hint));
}

void XBoardGUI::commandGo(const std::string&) {
  guarded([&] {
    // "go" is the way back from an analysis to play.
    if (analyseMode.load()) leaveAnalysis();
    if (!xboardMode.load()) PrintThinkLimits(this);
    forceMode = 0;
    engine->ponderMode = PonderOff;
    engine->ponderMove = 0;
  });
  wakeToPlay();
}

void XBoardGUI::commandPost(const std::string&) { post = 1; }
void XBoardGUI::commandNoPost(const std::string&) { post = 0; }

void XBoardGUI::commandVariant(const std::string& arguments) {
  writeLine("Error (Variant not supported): " + arguments);
}

void XBoardGUI::commandSanMove(const std::string& arguments) {
  u32 move = 0;
  std::string text = arguments;
  if (!ParseSan(&move, text, board)) {
    writeLine("Illegal move: " + arguments);
    return;
  }
  if (!IsLegalMove(board, move)) {
    std::fprintf(stderr, "Error: Validity check failed for :%s\r\n", MoveToText(move).c_str());
    writeLine("Illegal move: " + arguments);
    return;
  }
  PushGameMove(engine->history, move);
}

bool XBoardGUI::applyCoordinateMove(const std::string& text) {
  bool analysis = analyseMode.load() != 0;
  StopSearch(engine);
  if (analysis) engine->ponderMode = PonderAbandoned;
  bool made = false;
  {
    std::lock_guard<std::mutex> lock(engine->thinkMutex);
    applyDeferred();
    u32 move = 0;
    if (ParseCoordinateMove(&move, text) && IsLegalMove(board, move)) {
      PushGameMove(engine->history, move);
      made = true;
    }
  }
  // The interface must not go on with a game that the engine does not have.
  if (!made) writeLine("Illegal move: " + text);
  // The stop ended the analysis; it goes on, on the new position when the move was made.
  if (analysis) restartAnalysis(0);
  return made;
}

void XBoardGUI::movePath(const std::string& word) {
  if (!IsCoordinateMove(word)) {
    writeLine("Error (unknown command): " + word);
    return;
  }
  if (forceMode) {
    applyCoordinateMove(word);
    return;
  }
  for (;;) {
    // Busy is the short time around a think: before it, or while the move is written.
    while (engine->threadState.load() == ThreadBusy) std::this_thread::yield();
    i32 mode = engine->ponderMode.load();
    if (mode == PonderOff && engine->threadState.load() == ThreadThinking) {
      writeLine("Error (it's not your turn to move ): " + word);
      return;
    }
    if (mode != PonderOn) break;
    u32 move = 0;
    if (!ParseCoordinateMove(&move, word) || move != engine->ponderMove.load()) break;
    // A "level" held back while the engine pondered changes the limits of the search on its
    // own clock: that search starts afresh, as after another move.
    if (!deferred.empty()) break;
    // The expected reply: the ponder search becomes the search for the engine's move, which
    // the worker plays and reports on its own. Unless that search ended meanwhile with
    // nothing to ponder on (the reply ends the game): then the move is taken as any other.
    i32 pondering = PonderOn;
    if (engine->ponderMode.compare_exchange_strong(pondering, PonderOff)) return;
  }
  // Another move, or the expected one with commands held back, ends a ponder search, whose
  // worker takes its expected reply back.
  StopSearch(engine);
  std::unique_lock<std::mutex> lock(engine->thinkMutex);
  applyDeferred();
  u32 move = 0;
  if (!ParseCoordinateMove(&move, word) || !IsLegalMove(board, move)) {
    lock.unlock();
    writeLine("Illegal move: " + word);
    return;
  }
  PushGameMove(engine->history, move);
  engine->ponderMode = PonderOff;
  engine->ponderMove = 0;
  lock.unlock();
  wakeToPlay();
}
