// The XBoard (CECP) front end: the state of the connection (modes, clock settings, the hint
// move), the engine it creates, and the worker's reports as "move", thinking and result lines.
// Before the "xboard" command it serves a person at a terminal: statistics after each move,
// richer thinking lines and the console commands.
#pragma once

#include <atomic>
#include <string>
#include <utility>
#include <vector>

#include "board/board.h"
#include "protocol/protocol.h"

// The thinking line of xboard mode: depth, score (mate scores raw), centiseconds, nodes, moves.
std::string XBoardThinkingLine(i32 depth, i32 score, i64 timeMs, u64 nodes, const PVLine* pv);
// The console's line: the same figures with the selective depth and the bound, mates as "#n".
std::string ConsoleThinkingLine(i32 depth, i32 selDepth, i32 score, i64 timeMs, u64 nodes,
                                i32 boundKind, const PVLine* pv);
// Moves to mate for a mate-band score, halved toward minus infinity: 29999 gives 1, -30000 -1,
// -29998 -2.
i32 ConsoleMateDistance(i32 score);
// The result line for an engine result code, or null for a code that has none.
const char* ResultLineOf(i32 resultCode);
// The learning code for an engine result code (the draws 4, Black mates 6, White mates 5),
// 0 for a resignation and unknown codes.
int LearningCodeOf(i32 resultCode);
// The learning code of an interface's "result" text: the last of "1-0", "0-1", "1/2-1/2" that
// it contains decides; 0 when it holds none.
int LearningCodeOfResultText(const std::string& text);
// A number read the way strtol reads base 10 (leading blanks, a sign, digits, the rest
// ignored; 0 without digits), held to 64 bits.
i64 ReadNumber(const std::string& text);

// "level MPS BASE INC": BASE in minutes or minutes:seconds, INC whole seconds; missing fields
// are 0.
struct LevelSettings {
  i32 moves;
  i64 baseMs;
  i64 incrementMs;
};
LevelSettings ParseLevel(const std::string& arguments);

// Moves left in a control of levelMoves moves counted from startMove (full moves): 1..levelMoves,
// or 0 without a moves-per-control value.
i32 MovesToGoInControl(i32 levelMoves, u32 gamePly, u32 startMove);

class XBoardGUI : public Protocol {
 public:
  // Written by the main thread's commands, read by the worker's reports.
  std::atomic<u8> xboardMode{0};
  std::atomic<u8> analyseMode{0};
  u8 forceMode = 1;  // main thread only
  std::atomic<u8> post{1};
  std::atomic<u8> ponderOn{1};
  std::atomic<i32> levelMoves{0};
  std::atomic<i32> incrementMs{10000};
  std::atomic<u32> startMove{0};
  std::atomic<u32> hintMove{0};  // the reply the engine expects; 0 = none
  Board* board = nullptr;        // the engine's current board

  // Creates the engine (its worker waits idle) with the dynamic controller active.
  XBoardGUI();
  // The program keeps its front end; tests end theirs, and with it the engine.
  ~XBoardGUI();
  XBoardGUI(const XBoardGUI&) = delete;
  XBoardGUI& operator=(const XBoardGUI&) = delete;

  void write(const std::string& text) override;
  void writeLine(const std::string& text) override;
  std::string readLine() override;
  bool handleCommand(const std::string& line) override;
  void run() override;
  void sendBestMove(u32 move, u32 ponderMove) override;
  void sendPV(i64 timeMs, i32 depth, i32 selDepth, u64 nodes, i32 nps, i32 boundKind,
              i32 multiPvIndex, const PVLine* pv) override;
  void sendCurrMove(u32, i32, i32, i32, u64, i32) override {}
  void sendInfo(const std::string& text) override;
  // Writes the result line and learns the game; in analyse mode nothing is a game result.
  bool sendResult(i32 resultCode) override;
  bool isPonderEnabled() override { return ponderOn.load() != 0; }
  i32 movesToGo() override;
  void setPost(bool on) override { post = on ? 1 : 0; }
  i32 increment() override { return incrementMs.load(); }

  // The move of force and analyse mode: made when it is a legal coordinate move, else answered
  // "Illegal move:" and the game stays. True when it was made.
  bool applyCoordinateMove(const std::string& text);

 private:
  using Action = void (XBoardGUI::*)(const std::string& arguments);
  struct Command {
    const char* word;
    bool guarded;  // StopSearch and thinkMutex around the action
    Action action;
  };
  static const Command Commands[];

  // Stops the search, runs the action holding thinkMutex, and resumes an analysis it ended.
  template <typename Body>
  void guarded(Body body);
  bool workerIdle() const;
  // "level" and "time" that arrived while the game could not be read wait here, in order,
  // until the worker is idle; the caller holds thinkMutex.
  void applyDeferred();
  // The analysis runs on (analysing 1) or restarts on a new position (0).
  void restartAnalysis(u8 analysing);
  // The controller of the game's own moves, which "level", "st" and "time" set: the engine's,
  // except during an analysis, which searches without a limit and gives it back at its end.
  TimeController*& gameController();
  void wakeToPlay();
  void learnGame(int learningCode);
  void printStatistics();

  void commandXBoard(const std::string&);
  void commandProtover(const std::string& arguments);
  void commandIgnored(const std::string&) {}
  void commandPonder(const std::string& arguments);
  void commandTime(const std::string& arguments);
  void commandPing(const std::string& arguments);
  void commandLevel(const std::string& arguments);
  void applyLevel(const std::string& arguments);
  void commandResult(const std::string& arguments);
  void commandEasy(const std::string&);
  void commandHard(const std::string&);
  void commandWhite(const std::string&);
  void commandBlack(const std::string&);
  void handOverTheMove();
  void commandSetBoard(const std::string& arguments);
  void commandNew(const std::string&);
  void commandAnalyze(const std::string&);
  void commandUndo(const std::string&);
  void commandRemove(const std::string&);
  void commandSd(const std::string& arguments);
  void commandSt(const std::string& arguments);
  void commandExit(const std::string&);
  void commandForce(const std::string&);
  void commandHint(const std::string&);
  void commandGo(const std::string&);
  void commandPost(const std::string&);
  void commandNoPost(const std::string&);
  void commandVariant(const std::string& arguments);
  void commandMoveNow(const std::string&) {}
  void commandSanMove(const std::string& arguments);
  void movePath(const std::string& word);
  void leaveAnalysis();

  std::vector<std::pair<std::string, std::string>> deferred;  // main thread only
  TimeController* analysedGameController = nullptr;  // main thread only
  std::string heldMoveLine;  // worker only: a game-ending move, written with its result
};
