// The "evaltest" and "nnue" console commands.
#include "tools/eval_diagnostics.h"

#include <vector>

#include "board/fen.h"
#include "config/params.h"
#include "eval/eval_details.h"
#include "eval/network.h"
#include "eval/nnue.h"
#include "protocol/protocol.h"
#include "search/engine.h"
#include "search/frame_entries.h"
#include "tools/console_commands.h"
#include "tools/test_positions.h"

namespace {

struct EvalTestEntry {
  std::string label;
  i32 score;
};

const char* const EvalTestSeparator =
    "\r\n=========================================================\r\n";
const char* const EpdOption = "--epd";
constexpr std::size_t EpdNameStart = 6;  // the file name after "--epd" and one character

}  // namespace

i32 ConsoleEvaluation(Engine* engine) {
  const Board* board = engine->board;
  if (Network.loaded) RefreshAccumulator(board, &engine->accumulators[0]);
  if (material_only.load()) {
    const u32 us = SideToMove(board);
    const i32 balance = board->material[us] - board->material[us ^ 1];
    return (balance * eval_material.load()) >> 6;
  }
  return NnueEvaluate(&engine->frames[0]);
}

void EvalTestCommand(Protocol* gui, const char* fileName) {
  std::FILE* file = OpenReadableFile(fileName);
  if (!file) {
    std::fprintf(ConsoleDiagnostics, "Kann Datei %s nicht laden !\r\n", fileName);
    return;
  }
  std::FILE* out = ProtocolOutput;
  std::vector<EvalTestEntry> entries;
  std::string line;
  for (i32 lineNumber = 1; ReadFileLine(file, &line); ++lineNumber) {
    std::fputs(line.c_str(), out);
    const std::size_t semicolon = line.find(';');
    if (semicolon == std::string::npos) {
      std::fputs("\";\" expected !\r\n", out);
      continue;
    }
    if (static_cast<i32>(entries.size()) == EvalTestCapacity) {
      std::fprintf(out, "Only %d positions are evaluated: the rest of %s is skipped !\r\n",
                   EvalTestCapacity, fileName);
      break;
    }
    const std::string fen = line.substr(0, semicolon);
    if (!SetFen(gui->engine->board, fen.c_str())) {
      std::fprintf(out, "Invalid FEN in line %d, position skipped: %s\r\n", lineNumber, fen.c_str());
      continue;
    }
    entries.push_back({WithoutLineEnd(line.substr(semicolon + 1)), ConsoleEvaluation(gui->engine)});
  }
  std::fclose(file);
  std::fputs(EvalTestSeparator, out);
  for (const EvalTestEntry& entry : entries)
    std::fprintf(out, "%-30.30s: %.2f\r\n", entry.label.c_str(), entry.score / 100.0);
  std::fputs(EvalTestSeparator, out);
}

void NnueCommand(Protocol*, const std::string& argument) {
  if (!Network.loaded) {
    std::fputs("nnue: kein Netz geladen (nnue_path in tervik.ini setzen) !\r\n", ConsoleDiagnostics);
    return;
  }
  if (argument.compare(0, std::string(EpdOption).size(), EpdOption) != 0) {
    NnuePrintFen(argument.c_str(), ProtocolOutput, ConsoleDiagnostics);
    return;
  }
  // "--epd" alone names no file: it is reported like a file that cannot be opened.
  std::string name = argument.size() > EpdNameStart ? argument.substr(EpdNameStart) : "";
  const std::size_t first = name.find_first_not_of(' ');
  name = first == std::string::npos ? "" : name.substr(first);
  std::FILE* file = name.empty() ? nullptr : OpenReadableFile(name.c_str());
  if (!file) {
    std::fprintf(ConsoleDiagnostics, "nnue: Kann %s nicht oeffnen !\r\n", name.c_str());
    return;
  }
  std::string line;
  while (ReadFileLine(file, &line)) {
    if (!line.empty() && line[0] == '#') continue;
    NnuePrintFen(line.c_str(), ProtocolOutput, ConsoleDiagnostics);
  }
  std::fclose(file);
}
