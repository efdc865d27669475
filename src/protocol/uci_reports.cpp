// The UCI report lines: search lines (with the ones the quiet start keeps back), current
// moves, information strings and the one bestmove of every go.
#include "protocol/uci.h"

#include <algorithm>
#include <cstdio>

#include "board/notation.h"
#include "protocol/pv_viewer.h"
#include "search/engine.h"
#include "search/root_search.h"
#include "search/score.h"

// Written only by the worker, which reports the current moves.
static i64 LastCurrMoveTime = 0;

std::string UciScore(i32 score) {
  char text[32];
  i32 magnitude = score < 0 ? -score : score;
  if (InMateBand(score)) {
    i32 moves = (MateScore + 1 - magnitude) / 2;
    std::snprintf(text, sizeof text, " score mate %d", score < 0 ? -moves : moves);
  } else {
    std::snprintf(text, sizeof text, " score cp %d", score);
  }
  return text;
}

std::string UciBoundWord(i32 boundKind) {
  if (boundKind == PVLowerBound) return " lowerbound";
  if (boundKind == PVUpperBound) return " upperbound";
  return "";
}

void UciGUI::writeHeldMove() {
  holdUntilStop = false;
  if (!moveHeld) return;
  writeQuietLines();
  std::string line = "bestmove " + (heldBestMove ? MoveToText(heldBestMove) : "0000");
  if (heldBestMove && heldPonderMove) line += " ponder " + MoveToText(heldPonderMove);
  moveHeld = false;
  moveOwed = false;
  writeLine(line);
}

void UciGUI::writeQuietLines() {
  if (lineWritten) return;
  lineWritten = true;
  for (std::string& quiet : quietLines) {
    if (quiet.empty()) continue;
    writeLine(quiet);
    quiet.clear();
  }
}

void UciGUI::deliverBestMove(u32 move, u32 ponderMove, bool withSummary) {
  if (ponderAllowed.load() || holdUntilStop) {
    heldBestMove = move;
    heldPonderMove = ponderMove;
    moveHeld = true;
    return;
  }
  moveOwed = false;
  moveHeld = false;
  writeQuietLines();
  std::string text;
  if (withSummary) {
    i64 elapsed = SearchElapsedMs(engine);
    u64 nodes = SearchNodes(engine);
    u64 nps = elapsed > 0 ? nodes * 1000 / static_cast<u64>(elapsed) : 0;
    char summary[160];
    std::snprintf(summary, sizeof summary, "info depth %d seldepth %d time %lld nodes %llu nps %llu\n",
                  engine->depthReached, engine->selDepth, static_cast<long long>(elapsed),
                  static_cast<unsigned long long>(nodes), static_cast<unsigned long long>(nps));
    text = summary;
  }
  text += "bestmove " + (move ? MoveToText(move) : std::string("0000"));
  if (move && ponderMove) text += " ponder " + MoveToText(ponderMove);
  writeLine(text);
}

void UciGUI::sendBestMove(u32 move, u32 ponderMove) {
  // This protocol never plays the expected reply itself, so no later think is a ponder on it:
  // Think then reports a position without moves, which is how its "go" gets an answer.
  engine->ponderMove = 0;
  ++movesSincePosition;
  std::lock_guard<std::mutex> report(reportMutex);
  deliverBestMove(move, ponderMove, true);
}

bool UciGUI::sendResult(i32 resultCode) {
  bool mated = resultCode == ResultBlackWins || resultCode == ResultWhiteWins;
  if (!mated && resultCode != ResultStalemate) return false;
  std::lock_guard<std::mutex> report(reportMutex);
  // After the engine's own move the go has had its answer; before a search it has not.
  if (!moveOwed || moveHeld) return false;
  // The finished game's score comes first, also when the move waits for "stop" or
  // "ponderhit": mated at the root, or the stalemate's draw.
  writeLine("info depth 0" + UciScore(mated ? -MateScore : 0));
  lineWritten = true;
  deliverBestMove(EmptyMove, 0, false);
  return false;
}

void UciGUI::sendPV(i64 timeMs, i32 depth, i32 selDepth, u64 nodes, i32 nps, i32 boundKind,
                    i32 multiPvIndex, const PVLine* pv) {
  char head[160];
  std::snprintf(head, sizeof head, "info time %lld depth %d seldepth %d nodes %llu nps %d tbhits %llu",
                static_cast<long long>(timeMs), depth, selDepth,
                static_cast<unsigned long long>(nodes), nps,
                static_cast<unsigned long long>(SearchTablebaseHits(engine)));
  std::string line = head;
  line += UciScore(pv->score) + UciBoundWord(boundKind);
  if (multiPvIndex >= 1) line += " multipv " + std::to_string(multiPvIndex);
  line += " pv";
  i32 length = std::clamp(pv->length, 0, PVMaxLength);
  for (i32 i = 0; i < length; ++i) {
    line += ' ';
    line += MoveToText(pv->moves[i]);
  }
  if (length == 0) line += " ";
  std::lock_guard<std::mutex> report(reportMutex);
  // The quiet start keeps the line back; the move's report writes it if none follows.
  if (nodes <= 999 && SearchElapsedMs(engine) <= 999) {
    quietLines[std::clamp<i32>(multiPvIndex, 0, MultiPvCapacity)] = std::move(line);
    return;
  }
  lineWritten = true;
  writeLine(line);
}

void UciGUI::sendCurrMove(u32 move, i32 moveNumber, i32 depth, i32 selDepth, u64 nodes, i32 nps) {
  i64 now = NowMs();
  if (nodes <= 999 && SearchElapsedMs(engine) <= 999) return;
  if (now - LastCurrMoveTime <= 299) return;
  LastCurrMoveTime = now;
  const SearchStats stats = SumSearchStats(engine);
  const u64 hits = stats.ttHits, misses = stats.ttMisses;
  i32 hashfull = static_cast<i32>(1000.0 * static_cast<double>(hits) /
                                  (static_cast<double>(hits) + static_cast<double>(misses) + 1.0));
  char text[200];
  std::snprintf(text, sizeof text,
                "info currmove %s currmovenumber %d depth %d seldepth %d nodes %llu nps %d hashfull %d",
                MoveToText(move).c_str(), moveNumber, depth, selDepth,
                static_cast<unsigned long long>(nodes), nps, hashfull);
  writeLine(text);
}

void UciGUI::sendInfo(const std::string& text) { writeLine("info string " + text); }
