// The XBoard front end's state and the worker's reports: moves, thinking lines, information
// texts, results and the learning from them.
#include "protocol/xboard.h"

#include <algorithm>
#include <cctype>
#include <csignal>
#include <cstdio>
#include <cstdlib>

#include "board/movegen.h"
#include "board/notation.h"
#include "book/book.h"
#include "config/params.h"
#include "protocol/command_loop.h"
#include "protocol/pv_viewer.h"
#include "search/engine.h"
#include "search/root_search.h"
#include "search/score.h"

static std::string MovesPart(const PVLine* pv) {
  std::string text;
  i32 length = std::clamp(pv->length, 0, PVMaxLength);
  for (i32 i = 0; i < length; ++i) text += MoveToText(pv->moves[i]) + " ";
  if (pv->flag) text += "!";
  return text;
}

std::string XBoardThinkingLine(i32 depth, i32 score, i64 timeMs, u64 nodes, const PVLine* pv) {
  char head[96];
  std::snprintf(head, sizeof head, "%2d %5d %6lld %9llu ", depth, score,
                static_cast<long long>(timeMs / 10), static_cast<unsigned long long>(nodes));
  return head + MovesPart(pv);
}

i32 ConsoleMateDistance(i32 score) {
  i32 magnitude = score < 0 ? -score : score;
  i32 plies = score < 0 ? -(MateScore + 1 - magnitude) : MateScore + 1 - magnitude;
  // Halved toward minus infinity, where C++ division truncates toward zero.
  return plies >= 0 ? plies / 2 : -((1 - plies) / 2);
}

std::string ConsoleThinkingLine(i32 depth, i32 selDepth, i32 score, i64 timeMs, u64 nodes,
                                i32 boundKind, const PVLine* pv) {
  char head[128];
  long long centiseconds = timeMs / 10;
  unsigned long long count = nodes;
  // Mates, tablebase wins and losses: the console shows their distance.
  if (InMateBand(score)) {
    std::snprintf(head, sizeof head, "%2d    #%d %6lld %9llu (%2d/%2d) ", depth,
                  ConsoleMateDistance(score), centiseconds, count, depth, selDepth);
  } else {
    std::snprintf(head, sizeof head, "%2d %5d %6lld %9llu (%2d/%2d) ", depth, score,
                  centiseconds, count, depth, selDepth);
  }
  const char* bound = boundKind == 1 ? "- " : boundKind == 2 ? "+ " : boundKind == 3 ? "= " : "";
  return head + std::string(bound) + MovesPart(pv);
}

const char* ResultLineOf(i32 resultCode) {
  switch (resultCode) {
    case ResultRepetition: return "1/2-1/2 {Draw by repetition}";
    case ResultFiftyMoves: return "1/2-1/2 {Draw by 50-moves-rule}";
    case ResultInsufficientMaterial: return "1/2-1/2 {Not enough material}";
    case ResultStalemate: return "1/2-1/2 {Stalemate}";
    case ResultBlackWins: return "0-1 {Black mates}";
    case ResultWhiteWins: return "1-0 {White mates}";
    case ResultResign: return "resign";
    default: return nullptr;
  }
}

int LearningCodeOf(i32 resultCode) {
  switch (resultCode) {
    case ResultRepetition:
    case ResultFiftyMoves:
    case ResultInsufficientMaterial:
    case ResultStalemate: return LearnDraw;
    case ResultBlackWins: return LearnBlackWon;
    case ResultWhiteWins: return LearnWhiteWon;
    default: return 0;
  }
}

int LearningCodeOfResultText(const std::string& text) {
  int code = 0;
  if (text.find("1-0") != std::string::npos) code = LearnWhiteWon;
  if (text.find("0-1") != std::string::npos) code = LearnBlackWon;
  if (text.find("1/2-1/2") != std::string::npos) code = LearnDraw;
  return code;
}

i64 ReadNumber(const std::string& text) {
  // strtoll saturates instead of overflowing.
  return std::strtoll(text.c_str(), nullptr, 10);
}

LevelSettings ParseLevel(const std::string& arguments) {
  std::size_t first = arguments.find(' ');
  std::size_t second = first == std::string::npos ? first : arguments.find(' ', first + 1);
  LevelSettings level{0, 0, 0};
  level.moves = static_cast<i32>(std::clamp<i64>(ReadNumber(arguments), 0, 1 << 20));
  if (first == std::string::npos) return level;
  std::string base = arguments.substr(first + 1, second == std::string::npos ? second : second - first - 1);
  i64 seconds = std::clamp<i64>(ReadNumber(base), 0, 1 << 20) * 60;
  std::size_t colon = base.find(':');
  if (colon != std::string::npos) seconds += std::clamp<i64>(ReadNumber(base.substr(colon + 1)), 0, 1 << 20);
  level.baseMs = seconds * 1000;
  if (second != std::string::npos)
    level.incrementMs = std::clamp<i64>(ReadNumber(arguments.substr(second + 1)), 0, 1 << 20) * 1000;
  return level;
}

i32 MovesToGoInControl(i32 levelMoves, u32 gamePly, u32 startMove) {
  if (levelMoves <= 0) return 0;
  u32 moves = static_cast<u32>(levelMoves);
  return static_cast<i32>(moves - ((gamePly / 2 - startMove) % moves));
}

XBoardGUI::XBoardGUI() {
  // The controllers start with their own defaults (5000 ms; the dynamic one 10 moves in
  // 60000 ms with a 3000 ms reserve).
  engine = new Engine(this);
  dynamicTc.engine = engine;
  ponderAllowed = 0;
  multiPvCount = 1;
  board = engine->board;
  engine->timeController = &dynamicTc;
}

XBoardGUI::~XBoardGUI() { delete engine; }

void XBoardGUI::write(const std::string& text) { WriteProtocolText(text); }
void XBoardGUI::writeLine(const std::string& text) { WriteProtocolLine(text); }
std::string XBoardGUI::readLine() { return ReadProtocolLineOrExit(); }

void XBoardGUI::run() {
  // XBoard interrupts an engine that does not announce "sigint=0" before nearly every move;
  // the default action would end it.
  std::signal(SIGINT, SIG_IGN);
  RegisterPVViewer(this);
  commandLoop();
}

void XBoardGUI::printStatistics() {
  const SearchStats s = SumSearchStats(engine);
  double total = static_cast<double>(s.nodes);
  double seconds = static_cast<double>(SearchElapsedMs(engine)) / 1000.0;
  double kiloNps = total / (static_cast<double>(SearchElapsedMs(engine)) + 0.01);
  std::fprintf(stderr,
               "time: %#3.2lfs totalNodes: %#9lf  qNodes   : %#2.1lf%%   NM-Nodes : %#2.1lf%%   "
               "TB-Hits %6d  nps :%4d kNodes\r\nfailHigh1: %#2.1lf%%    TT-Hits: %#2.1lf%%\r\n"
               "BetaEfficency:%#2.1lf%%\r\n",
               seconds, total, 100.0 * static_cast<double>(s.quiescenceNodes) / (total + 0.01),
               100.0 * static_cast<double>(s.afterNullNodes) / (total + 0.01),
               static_cast<int>(s.tablebaseHits),
               static_cast<int>(std::min(kiloNps, 2147483647.0)),
               100.0 * static_cast<double>(s.failHighsFirst) / (static_cast<double>(s.failHighs) + 0.01),
               100.0 * static_cast<double>(s.ttHits) /
                   (static_cast<double>(s.ttHits) + static_cast<double>(s.ttMisses) + 0.01),
               100.0 * s.failHighEfficiency / (static_cast<double>(s.failHighs) + 0.0001));
}

void XBoardGUI::sendBestMove(u32 move, u32 ponderMove) {
  if (!xboardMode.load()) printStatistics();
  if (ponderAllowed.load()) {
    hintMove = ponderMove;
  } else {
    const PVLine& line = engine->frames[0].line;
    hintMove = line.length > 1 ? line.moves[1] : 0;
  }
  if (analyseMode.load()) return;
  std::string line = "move " + MoveToText(move);
  // A move that ends the game goes out with its result line, in one write: an interface that
  // ends the game on the move and starts the next one must not read the result there.
  if (CountLegalMoves(board) == 0) {
    heldMoveLine = line;
    return;
  }
  writeLine(line);
}

void XBoardGUI::sendPV(i64 timeMs, i32 depth, i32 selDepth, u64 nodes, i32, i32 boundKind, i32,
                       const PVLine* pv) {
  if (!post.load()) return;
  if (xboardMode.load()) {
    writeLine(XBoardThinkingLine(depth, pv->score, timeMs, nodes, pv));
  } else {
    writeLine(ConsoleThinkingLine(depth, selDepth, pv->score, timeMs, nodes, boundKind, pv));
  }
}

void XBoardGUI::sendInfo(const std::string& text) {
  if (post.load()) writeLine(text);
}

void XBoardGUI::learnGame(int learningCode) {
  GameHistory* history = engine->history;
  if (learningCode == 0 || history->learnDone || !learn_book.load()) return;
  LearnOnResult(engine->bookPair, history, learningCode);
}

bool XBoardGUI::sendResult(i32 resultCode) {
  // An analysed position that is mated or drawn ends no game: nothing to announce or learn,
  // and the analysis goes on where there is something to search.
  if (analyseMode.load()) return false;
  const char* line = ResultLineOf(resultCode);
  std::string text = heldMoveLine;
  heldMoveLine.clear();
  if (line && !text.empty()) text += '\n';
  if (line) text += line;
  if (!text.empty()) writeLine(text);
  if (line) learnGame(LearningCodeOf(resultCode));
  return true;
}

i32 XBoardGUI::movesToGo() {
  return MovesToGoInControl(levelMoves.load(), board->gamePly, startMove.load());
}
