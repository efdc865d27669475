// The solver's run: reading the file, searching each position with its listener, the lines
// per position and the summary; and the listeners' stop rules.
#include "tools/solver.h"

#include <algorithm>
#include <cinttypes>
#include <vector>

#include "board/fen.h"
#include "board/notation.h"
#include "protocol/protocol.h"
#include "search/engine.h"
#include "search/history_table.h"
#include "search/root_search.h"
#include "search/search_frame.h"
#include "search/time_controller.h"
#include "search/transposition_table.h"
#include "tools/console_commands.h"
#include "tools/test_positions.h"

namespace {

constexpr int MaxSolverSeconds = 2147483;
// An early stop needs this depth and a solution that has survived two more iterations.
constexpr i32 StopMinDepth = 5;

u32 ElapsedMs(const Engine* engine) {
  return static_cast<u32>(NowMs() - engine->timeController->startMs);
}

struct SolverRow {
  std::string name;
  bool solved;
  i32 seconds;
  u64 nodes;
  i32 depth;
  i32 score;
};

struct SolverRun {
  std::vector<SolverRow> rows;
  std::string unsolvedNames;
  i32 solvedCount = 0;
  SearchStats totals{};
  double solutionTimeMs = 0;
};

std::string LineText(const PVLine& line) {
  std::string text;
  for (i32 i = 0; i < line.length; ++i) text += MoveToText(line.moves[i]) + " ";
  if (line.flag) text += "!";
  return text;
}

// One position: a fresh table and history, the listener for its kind, the search, its row.
void SolvePosition(Protocol* gui, const TestPosition& position, i32 seconds, SolverRun* run) {
  Engine* engine = gui->engine;
  TT.clear();
  ClearHistory();
  SolutionListener best(engine);
  SolutionListenerAM avoid(engine, EmptyMove);
  PVListener* listener;
  if (position.avoid) {
    std::string text = position.solutionText;
    if (!ParseSan(&avoid.avoidMove, text, engine->board)) avoid.avoidMove = EmptyMove;
    listener = &avoid;
  } else {
    best.solutionCount =
        ParseSolutionMoves(position.solutionText, engine->board, best.solutions, SolutionCapacity);
    listener = &best;
  }
  if (!RegisterListener(engine, listener)) {
    std::fprintf(ConsoleDiagnostics, "No room for the solver's listener !\r\n");
    return;
  }
  gui->fixedTc.start(EmptyMove, 1, 0);
  engine->bookCandidates.count = 0;
  engine->analysing = 0;
  SearchRoot(engine);
  RemoveListener(engine, listener);

  const i32 foundDepth = position.avoid ? avoid.foundDepth : best.foundDepth;
  const u32 foundTime = position.avoid ? avoid.foundTime : best.foundTime;
  const u64 foundNodes = position.avoid ? avoid.foundNodes : best.foundNodes;
  const bool solved = foundDepth != NotSolved;
  const PVLine& line = engine->frames[0].line;
  SolverRow row{position.name, solved, solved ? static_cast<i32>(foundTime / 1000) : seconds,
                solved ? foundNodes : 0, foundDepth, line.score};
  std::FILE* out = ProtocolOutput;
  if (solved) {
    std::fprintf(out, "%s (%s) solved after %d sec : %s\r\n\r\n", row.name.c_str(),
                 position.solutionText.c_str(), row.seconds, LineText(line).c_str());
  } else {
    std::fprintf(out, "!!! %s (%s) not solved after %d sec.\r\n\r\n", row.name.c_str(),
                 position.solutionText.c_str(),
                 static_cast<int>((NowMs() - gui->fixedTc.startMs) / 1000));
    run->unsolvedNames += row.name + ", ";
  }
  AddSearchStats(&run->totals, SumSearchStats(engine));
  run->solutionTimeMs += solved ? foundTime : seconds * 1000.0;
  run->rows.push_back(row);
  if (solved) ++run->solvedCount;
}

// A FEN that does not load is skipped with a message.
void RunPosition(Protocol* gui, const TestPosition& position, i32 lineNumber, i32 seconds,
                 SolverRun* run) {
  if (!SetFen(gui->engine->board, position.fen.c_str())) {
    std::fprintf(ConsoleDiagnostics, "Invalid FEN in line %d, position skipped: %s\r\n",
                 lineNumber, position.fen.c_str());
    return;
  }
  SolvePosition(gui, position, seconds, run);
}

// A figure with nothing to divide by (an empty file, a run inside one clock tick, nodes that
// all came from the tables or the hash) prints 0.
double Quotient(double dividend, double divisor) { return divisor > 0 ? dividend / divisor : 0.0; }
double Percent(double part, double whole) { return Quotient(part * 100.0, whole); }

void PrintSummary(const SolverRun& run, i64 startMs) {
  const i64 endMs = NowMs();
  std::FILE* out = ProtocolOutput;
  const std::string separator = "\r\n" + std::string(64, '=') + "\r\n";
  std::fputs(separator.c_str(), out);
  double nodesToSolution = 0;
  for (const SolverRow& row : run.rows) {
    std::fprintf(out, "%c | %-30.30s| %4d |%9" PRIu64 " | %2d |%6d\r\n", row.solved ? ' ' : '*',
                 row.name.c_str(), row.seconds, row.nodes, row.depth, row.score);
    nodesToSolution += static_cast<double>(row.nodes);
  }
  std::fputs(separator.c_str(), out);
  std::fprintf(out, "%d/%d solved.\r\n", run.solvedCount, static_cast<int>(run.rows.size()));
  std::fprintf(out, "Not solved: %s\r\n", run.unsolvedNames.c_str());

  const SearchStats& t = run.totals;
  auto d = [](u64 value) { return static_cast<double>(value); };
  std::fprintf(out, "Fail High after 1: %.2lf %%\r\n", Percent(d(t.failHighsFirst), d(t.failHighs)));
  std::fprintf(out, "Beta Efficency   : %.2lf %%\r\n", Percent(t.failHighEfficiency, d(t.failHighs)));
  std::fprintf(out, "Qsearch          : %.2lf %%\r\n", Percent(d(t.quiescenceNodes), d(t.nodes)));
  std::fprintf(out, "Hash hit         : %.2lf %%\r\n", Percent(d(t.ttHits), d(t.ttHits) + d(t.ttMisses)));
  std::fprintf(out, "PVS researchs    : %.2lf %%\r\n", Percent(d(t.reSearches), d(t.nullWindowSearches)));
  std::fprintf(out, "Full eval        : %.2lf %%\r\n", Percent(d(t.networkEvals), d(t.evalCalls)));
  std::fprintf(out, "UnsortedMoves    : %.2lf %%\r\n",
               Percent(d(t.unorderedMoves), d(t.orderedMoves) + d(t.unorderedMoves)));

  const double totalSeconds = static_cast<double>(endMs - startMs) / 1000.0;
  std::fprintf(out, "Total nodes to solution: %.0lf\r\n", nodesToSolution);
  std::fprintf(out, "Total nodes            : %.0lf\r\n", d(t.nodes));
  std::fprintf(out, "Total solution time    : %.2lf sek\r\n", run.solutionTimeMs / 1000.0);
  std::fprintf(out, "Total time             : %.2lf sek\r\n", totalSeconds);
  std::fprintf(out, "Total NPS              : %.2lf n/sek\r\n", Quotient(d(t.nodes), totalSeconds));

  const double upper = d(t.nodeTypes[0]), lower = d(t.nodeTypes[1]), exact = d(t.nodeTypes[2]);
  const double sum = upper + exact + lower;
  std::fprintf(out, "Node Types (Upper,Exact,Lower): %.0lf, %.0lf, %.0lf\r\n", upper, exact, lower);
  std::fprintf(out, "           (%.2lf%%, %.2lf%%, %.2lf%%)\r\n", Percent(upper, sum),
               Percent(exact, sum), Percent(lower, sum));
}

}  // namespace

SolutionListener::SolutionListener(Engine* engine)
    : solutions{}, solutionCount(0), foundTime(0), foundNodes(0), engine(engine),
      foundDepth(NotSolved) {}

void SolutionListener::onNewPV(const PVLine* pv, i32) {
  const i32 d = engine->depthReached;
  bool matches = false;
  for (i32 i = 0; i < solutionCount && i < SolutionCapacity && pv->length > 0; ++i)
    matches = matches || pv->moves[0] == solutions[i];
  if (!matches) {
    // A line cut short by the stop says nothing against the solution.
    if (!engine->stopFlag.load()) foundDepth = NotSolved;
    return;
  }
  if (foundDepth == NotSolved) {
    foundTime = ElapsedMs(engine);
    foundDepth = d;
    foundNodes = SearchNodes(engine);
  } else if (d >= StopMinDepth && d > foundDepth + 1) {
    StopSearch(engine);
  }
}

SolutionListenerAM::SolutionListenerAM(Engine* engine, u32 avoidMove)
    : avoidMove(avoidMove), foundTime(0), foundNodes(0), engine(engine), foundDepth(0) {}

void SolutionListenerAM::onNewPV(const PVLine* pv, i32) {
  const i32 d = engine->depthReached;
  if (pv->length > 0 && pv->moves[0] == avoidMove) {
    foundDepth = NotSolved;
  } else if (foundDepth == NotSolved) {
    foundTime = ElapsedMs(engine);
    foundDepth = d;
    foundNodes = SearchNodes(engine);
  } else if (i64{ElapsedMs(engine)} > 2 * engine->timeController->getTime() &&
             d > foundDepth + 2) {
    StopSearch(engine);
  }
}

bool IsEpdFileName(const std::string& name) {
  if (name.size() < 4) return false;
  const std::string ending = name.substr(name.size() - 4);
  return ending == ".epd" || ending == ".EPD";
}

i64 SolveTestSuite(Protocol* gui, const char* path, bool pgnMode, int seconds) {
  std::FILE* file = OpenReadableFile(path);
  if (!file) {
    std::fprintf(ConsoleDiagnostics, "Kann Datei %s nicht laden !\r\n", path);
    return -1;
  }
  // The limit in milliseconds is a 32-bit number.
  seconds = std::clamp(seconds, 0, MaxSolverSeconds);
  Engine* engine = gui->engine;
  engine->timeController = &gui->fixedTc;
  gui->fixedTc.engine = engine;
  gui->fixedTc.setLevel(1, seconds * 1000);
  engine->maxDepth = SolverMaxDepth;

  const i64 startMs = NowMs();
  SolverRun run;
  PgnTagReader tags;
  std::string line;
  for (i32 lineNumber = 1; ReadFileLine(file, &line); ++lineNumber) {
    TestPosition position;
    if (pgnMode) {
      if (!tags.readLine(line, &position)) continue;
    } else {
      if (!line.empty() && line[0] == '#') continue;
      std::fputs(line.c_str(), ProtocolOutput);
      EpdLine kind = ReadEpdLine(line, &position);
      if (kind == EpdLine::NoOperation) {
        std::fputs("Tests other than \"am or bm\" not supported !\r\n", ConsoleDiagnostics);
        continue;
      }
      if (kind == EpdLine::NoSemicolon) {
        std::fputs("\";\" expected !\r\n", ConsoleDiagnostics);
        continue;
      }
    }
    if (static_cast<i32>(run.rows.size()) == SolverPositionCapacity) {
      std::fprintf(ConsoleDiagnostics, "Only %d positions are run: the rest of %s is skipped !\r\n",
                   SolverPositionCapacity, path);
      break;
    }
    RunPosition(gui, position, lineNumber, seconds, &run);
  }
  std::fclose(file);
  PrintSummary(run, startMs);

  engine->timeController = &gui->dynamicTc;
  gui->dynamicTc.engine = engine;
  i64 totalSeconds = 0;
  for (const SolverRow& row : run.rows) totalSeconds += row.seconds;
  return totalSeconds;
}
