// The console commands and their dispatch.
#include "tools/console_commands.h"

#include <algorithm>
#include <climits>
#include <cstdlib>

#include "board/fen.h"
#include "board/make_move.h"
#include "board/movegen.h"
#include "board/notation.h"
#include "board/perft.h"
#include "book/book.h"
#include "config/params.h"
#include "eval/eval_details.h"
#include "eval/see.h"
#include "protocol/apply_moves.h"
#include "protocol/protocol.h"
#include "search/engine.h"
#include "search/history_table.h"
#include "search/move_ordering.h"
#include "search/time_controller.h"
#include "search/transposition_table.h"
#include "tools/eval_diagnostics.h"
#include "tools/self_tests.h"
#include "tools/solver.h"

std::FILE* ConsoleDiagnostics = stderr;

namespace {

// "solve FILE" without the seconds.
const char* const DefaultSolveSeconds = "5";

// Base-10 with strtol's leniency (leading blanks, trailing text), held to the int range.
int ReadInt(const std::string& text) {
  long value = std::strtol(text.c_str(), nullptr, 10);
  return static_cast<int>(std::clamp<long>(value, INT_MIN, INT_MAX));
}

void CommandPerft(Protocol* protocol, const std::string& arguments) {
  long depth = std::strtol(arguments.c_str(), nullptr, 10);
  if (depth < 1 || depth > static_cast<long>(PerftMaxDepth)) {
    std::fprintf(ConsoleDiagnostics, "perft: the depth must be 1 to %u !\r\n", PerftMaxDepth);
    return;
  }
  i64 t0 = NowMs();
  u64 count = Perft(protocol->engine->board, static_cast<u32>(depth));
  i64 t1 = NowMs();
  float seconds = static_cast<float>((t1 - t0) / 1000.0);
  // A count inside one clock tick has taken at most a millisecond.
  double nps = static_cast<double>(count) / std::max(seconds, 0.001f);
  std::fprintf(ProtocolOutput, "%2d : %9lf %5.2fs  %9dnps\r\n", static_cast<int>(depth),
               static_cast<double>(count), static_cast<double>(seconds),
               static_cast<int>(std::min(nps, static_cast<double>(INT_MAX))));
}

void CommandTests(Protocol* protocol, const std::string&) {
  RunSelfTests(protocol);
  const GameHistory* history = protocol->engine->history;
  std::fprintf(ConsoleDiagnostics, "full %.0lf part %.0lf\r\n",
               static_cast<double>(history->fullRestores),
               static_cast<double>(history->partialRestores));
}

// The root frame's list with the root ordering scores, sorted as the search would pick.
void CommandMoves(Protocol* protocol, const std::string&) {
  Engine* engine = protocol->engine;
  SearchFrame* root = &engine->frames[0];
  MoveList* list = &root->moves;
  list->count = 0;
  GenerateLegalMoves(engine->board, list);
  ScoreMoves(root);
  const i32 cursor = list->next;
  list->next = 0;
  while (list->next < list->count) PickNextMove(list);
  list->next = cursor;
  std::fprintf(ConsoleDiagnostics, "%s\r\n", FormatScoredMoves(list).c_str());
}

// The quiescence search's moves with the order it gives them: exchange value plus the value
// of a promotion piece.
void CommandQsMoves(Protocol* protocol, const std::string&) {
  Board* board = protocol->engine->board;
  MoveList list;
  list.count = 0;
  list.next = 0;
  GenerateCaptures(board, &list);
  for (i32 i = 0; i < list.count; ++i) {
    const u32 move = list.moves[i];
    list.scores[i] = StaticExchangeEval(&board->attacks, move) + PieceValue[MovePromotion(move)];
  }
  std::fprintf(ConsoleDiagnostics, "%s\r\n", FormatScoredMoves(&list).c_str());
}

void CommandEvalTest(Protocol* protocol, const std::string& arguments) {
  EvalTestCommand(protocol, arguments.substr(0, arguments.find(' ')).c_str());
}

void CommandNnue(Protocol* protocol, const std::string& arguments) { NnueCommand(protocol, arguments); }

void CommandEval(Protocol* protocol, const std::string& arguments) {
  Engine* engine = protocol->engine;
  const Board* board = engine->board;
  const std::size_t at = arguments.find("moves");
  if (at != std::string::npos) {
    const std::size_t movesStart = at + 6;  // after "moves" and one blank
    ApplyMoves(protocol, movesStart < arguments.size() ? arguments.substr(movesStart) : "");
    std::fprintf(ConsoleDiagnostics, "%s\r\n", GetFen(board).c_str());
  }
  const i32 score = ConsoleEvaluation(engine);
  std::fprintf(ConsoleDiagnostics, "Material      : %d, %d\r\n", board->material[White],
               board->material[Black]);
  std::fprintf(ConsoleDiagnostics, "KingDanger    : %d, %d\r\n", KingZoneAttacks(board, White),
               KingZoneAttacks(board, Black));
  std::fprintf(ConsoleDiagnostics, "Eval: %d\r\n", SideToMove(board) == White ? score : -score);
}

void CommandSolve(Protocol* protocol, const std::string& arguments) {
  const std::size_t blank = arguments.find(' ');
  const std::string name = arguments.substr(0, blank);
  const std::string seconds = blank == std::string::npos ? DefaultSolveSeconds : arguments.substr(blank + 1);
  // A name too short for an ending is a PGN-tag file.
  SolveTestSuite(protocol, name.c_str(), !IsEpdFileName(name), ReadInt(seconds));
}

void CommandClearHash(Protocol*, const std::string&) {
  TT.clear();
  ClearHistory();
}

bool InBook(const Book* book, u64 key) {
  const BookEntry* slot = FindBookSlot(book, key);
  return slot && slot->key == key;
}

// Both books mixed by book_mix, from White's point of view whichever side moves.
void CommandBook(Protocol* protocol, const std::string&) {
  Engine* engine = protocol->engine;
  Board* board = engine->board;
  const Book* mainBook = &engine->bookPair->mainBook;
  const Book* learnBook = &engine->bookPair->learnBook;
  MoveList moves;
  moves.count = 0;
  GenerateLegalMoves(board, &moves);
  const Board saved = *board;
  const double mix = book_mix.load() / 100.0;
  bool printed = false;
  for (i32 i = 0; i < moves.count; ++i) {
    const u32 move = moves.moves[i];
    MakeMove(board, board->squares[MoveFrom(move)], move);
    const u64 key = board->key;
    const u32 side = SideToMove(board);
    *board = saved;
    if (!InBook(mainBook, key) && !InBook(learnBook, key)) continue;
    const double value =
        (1.0 - mix) * BookValue(mainBook, key, side) + mix * BookValue(learnBook, key, side);
    std::fprintf(ConsoleDiagnostics, "%s = %lf \r\n", MoveToText(move).c_str(), value);
    printed = true;
  }
  if (!printed) std::fputs("No moves in book !\r\n", ConsoleDiagnostics);
}

void CommandLearnBook(Protocol* protocol, const std::string&) {
  ListBookMoves(&protocol->engine->bookPair->learnBook, ConsoleDiagnostics);
}

void CommandMainBook(Protocol* protocol, const std::string&) {
  ListBookMoves(&protocol->engine->bookPair->mainBook, ConsoleDiagnostics);
}

void CommandDump(Protocol* protocol, const std::string&) {
  const Board* board = protocol->engine->board;
  protocol->writeLine(GetFen(board));
  protocol->writeLine(FormatEvalDetails(board));
}

struct ConsoleCommand {
  const char* word;
  bool inXboardMode;  // also after the "xboard" command
  void (*run)(Protocol*, const std::string&);
};

const ConsoleCommand ConsoleCommands[] = {
    {"perft", false, CommandPerft},       {"tests", false, CommandTests},
    {"moves", false, CommandMoves},       {"qsmoves", false, CommandQsMoves},
    {"evaltest", false, CommandEvalTest}, {"nnue", false, CommandNnue},
    {"eval", false, CommandEval},         {"solve", false, CommandSolve},
    {"clearhash", false, CommandClearHash}, {"book", true, CommandBook},
    {"lbook", true, CommandLearnBook},    {"dbook", true, CommandMainBook},
    {"dump", true, CommandDump},
};

const ConsoleCommand* FindCommand(const std::string& word) {
  for (const ConsoleCommand& command : ConsoleCommands)
    if (word == command.word) return &command;
  return nullptr;
}

}  // namespace

bool IsConsoleCommand(const std::string& word, bool xboardMode) {
  const ConsoleCommand* command = FindCommand(word);
  return command && (!xboardMode || command->inXboardMode);
}

void RunConsoleCommand(Protocol* protocol, const std::string& word, const std::string& arguments) {
  if (const ConsoleCommand* command = FindCommand(word)) command->run(protocol, arguments);
}

void PrintThinkLimits(Protocol* protocol) {
  const Engine* engine = protocol->engine;
  std::fprintf(ConsoleDiagnostics, "Think limits: %d ply, %d ms\r\n", engine->maxDepth,
               static_cast<int>(std::clamp<i64>(engine->timeController->getTime(), INT32_MIN,
                                                INT32_MAX)));
}

std::string FormatScoredMoves(const MoveList* list) {
  std::string text;
  char score[16];
  for (i32 i = 0; i < list->count; ++i) {
    std::snprintf(score, sizeof score, "(%d) ", list->scores[i]);
    text += MoveToText(list->moves[i]) + score;
  }
  return text;
}
