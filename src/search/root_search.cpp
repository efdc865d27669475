// Preparing a search, deepening it one ply at a time with aspiration windows (one line) or a
// window per move (MultiPV), and reporting current moves and new principal variations.
#include "search/root_search.h"

#include <climits>
#include <cstring>

#include "board/attack_map.h"
#include "board/movegen.h"
#include "book/book.h"
#include "config/params.h"
#include "eval/network.h"
#include "eval/nnue.h"
#include "protocol/protocol.h"
#include "search/aspiration.h"
#include "search/engine.h"
#include "search/history_table.h"
#include "search/line_draws.h"
#include "search/move_ordering.h"
#include "search/pv_listener.h"
#include "search/quiescence.h"
#include "search/search.h"
#include "search/time_controller.h"
#include "search/transposition_table.h"

namespace {

// The widest aspiration stage. Beyond every score a pass can return (a mate with a book bonus
// of up to +-400 included), so that the last stage never fails the same way again.
constexpr i32 LastStageBound = 32000;
constexpr i32 CurrentMoveDelayMs = 500;

// The start of the search when the engine has no controller (tests, tools).
i64 FallbackStartMs = 0;

i64 StartMs(const Engine* engine) {
  return engine->timeController ? engine->timeController->startMs : FallbackStartMs;
}

i64 ElapsedMs(const Engine* engine) { return NowMs() - StartMs(engine); }

void ClearFrames(Engine* engine) {
  for (SearchFrame& frame : engine->frames) {
    frame.killers[0] = frame.killers[1] = 0;
    frame.captureKillers[0] = frame.captureKillers[1] = 0;
    frame.hit = nullptr;
    frame.ttMoves[0] = frame.ttMoves[1] = 0;
    frame.flags = 0;
    frame.extension = 0;
    frame.line.flag = 0;
    frame.line.bound = PVExact;
    frame.line.length = 0;
    frame.line.score = 0;
    frame.moves.count = 0;
    frame.moves.next = 0;
    frame.moveIndex = 0;
    frame.currentMove = 0;
    frame.movingPiece = Empty;
    frame.capturedPiece = Empty;
    frame.pvMove = 0;
    frame.onPvPath = 0;
    frame.stats = SearchStats{};
  }
}

// Every game holds at most 1024 entries and the search pushes one per ply beyond them; a
// history filled some other way drops its oldest moves as a game push would.
void MakeRoomForSearch(GameHistory* history) {
  if (history->count + SearchFrameCount + 1 <= GameHistoryCapacity) return;
  const u32 drop = GameHistoryDropCount;
  std::memmove(&history->entries[0], &history->entries[drop],
               (history->count - drop) * sizeof(HistoryEntry));
  history->count -= drop;
  history->learnDone = 1;
}

void SetPvMoves(Engine* engine) {
  const PVLine& line = engine->frames[0].line;
  for (i32 i = 0; i < SearchFrameCount; ++i)
    engine->frames[i].pvMove = i < line.length ? line.moves[i] : 0;
}

void NotifyListeners(Engine* engine, const PVLine* line, i32 index) {
  for (i32 i = 0; i < engine->listenerCount; ++i) engine->listeners[i]->onNewPV(line, index);
}

void ReportCurrentMove(Engine* engine, u32 move, i32 number, i32 depth) {
  if (!engine->protocol) return;
  u64 nodes = SearchNodes(engine);
  engine->protocol->sendCurrMove(move, number, depth, engine->selDepth, nodes,
                                 SearchNodesPerSecond(engine, nodes));
}

// Highest score first, the earlier move on equal scores.
void SortRootMoves(MoveList* list) {
  for (i32 i = 1; i < list->count; ++i) {
    u32 move = list->moves[i];
    i32 score = list->scores[i];
    i32 j = i;
    for (; j > 0 && list->scores[j - 1] < score; --j) {
      list->moves[j] = list->moves[j - 1];
      list->scores[j] = list->scores[j - 1];
    }
    list->moves[j] = move;
    list->scores[j] = score;
  }
}

struct RootMove {
  u8 mover;
  u8 captured;
};

RootMove MakeRootMove(Engine* engine, u32 move) {
  SearchFrame* root = &engine->frames[0];
  const Board* board = engine->board;
  u8 mover = board->squares[MoveFrom(move)];
  u32 captureSquare = CaptureSquareOf(board, move, mover);
  u8 captured = board->squares[captureSquare];
  MakeFrameMove(root, move, mover, captured, captureSquare);
  root->onPvPath = move == root->pvMove;
  return {mover, captured};
}

// The root position's moves in root order.
void PrepareRootMoves(Engine* engine) {
  SearchFrame* root = &engine->frames[0];
  GameHistory* history = engine->history;
  history->entries[history->count].before = *engine->board;
  root->moves.count = 0;
  root->moves.next = 0;
  GenerateLegalMoves(engine->board, &root->moves);
  ScoreMoves(root);
  SortRootMoves(&root->moves);
}

// No legal move at the root: mated or stalemated, a final result.
i32 NoMoveResult(Engine* engine) {
  SearchFrame* root = &engine->frames[0];
  root->nodeType = TTFinal;
  root->line.flag = 1;
  root->line.bound = PVExact;
  root->line.length = 0;
  root->line.score = InCheck(engine->board) ? -MateScore : 0;
  return root->line.score;
}

// One pass over the root moves with the window (alpha, beta); AbortScore on an abort.
i32 RootPass(Engine* engine, i32 alpha, i32 beta, i32 n) {
  SearchFrame* root = &engine->frames[0];
  SearchFrame* first = &engine->frames[1];
  root->nodeType = TTUpper;
  root->flags = 0;
  root->depth64 = OnePly * n;
  root->alpha = alpha;
  root->beta = beta;
  root->extension = 0;
  root->staticEval = StaticEvaluation(root);
  PrepareRootMoves(engine);
  MoveList* moves = &root->moves;
  if (moves->count == 0) return NoMoveResult(engine);

  const i32 childDepth = OnePly * (n - 1);
  for (i32 i = 0; i < moves->count; ++i) {
    const u32 move = moves->moves[i];
    const i32 bonus = RootBookBonus(engine, move);
    if (ElapsedMs(engine) > CurrentMoveDelayMs) ReportCurrentMove(engine, move, i + 1, n);
    root->moveIndex = i;
    const RootMove made = MakeRootMove(engine, move);
    i32 v;
    i32 r;
    if (root->nodeType == TTUpper) {
      r = Search(first, bonus - beta, -alpha, childDepth);
      v = bonus - r;
    } else {
      r = Search(first, -alpha - 1, -alpha, childDepth);
      v = -r;
      if (r != AbortScore && alpha < v && v < beta) {
        r = Search(first, bonus - beta, -alpha, childDepth);
        v = bonus - r;
      } else {
        v += bonus;
      }
    }
    UndoMove(engine->history);
    if (r == AbortScore || engine->stopFlag.load()) return AbortScore;

    if (v > alpha) {
      root->nodeType = TTExact;
      CopyLine(&root->line, move, &first->line, v);
      // A fail high is only a lower bound; inside the window the score is the value.
      root->line.bound = v >= beta ? PVLowerBound : InsideWindowBound(v, first);
      CompletePvFromHash(engine);  // also ends a final line where the game is drawn
      NotifyListeners(engine, &root->line, 0);
      if (v >= beta) {
        root->stats.failHighs += 1;
        if (i == 0) root->stats.failHighsFirst += 1;
        root->stats.failHighEfficiency += 1.0 / (i + 1);
        root->nodeType = TTLower;
        UpdateOrderingAfterCutoff(root, move, made.mover, made.captured, root->depth64);
        return v;
      }
      alpha = v;
    } else if (root->nodeType == TTUpper) {
      return v;  // the first move fails low: the whole pass does
    }
    if (ElapsedMs(engine) > CurrentMoveDelayMs) ReportCurrentMove(engine, move, i + 1, n);
  }
  return alpha;
}

void SearchOneLine(Engine* engine) {
  SearchFrame* root = &engine->frames[0];
  TimeController* clock = engine->timeController;
  i32 previous = 0;
  i32 finalDepth = -1;
  for (i32 n = 1; n <= engine->maxDepth; ++n) {
    engine->depthReached = n;
    i32 alpha = previous - FirstWindowBelow;
    i32 beta = previous + FirstWindowAbove;
    i32 v;
    for (i32 stage = 0;; ++stage) {
      v = RootPass(engine, alpha, beta, n);
      if (v == AbortScore) {
        if (clock) clock->setStable();
        return;
      }
      if (v > alpha) {
        if (clock) clock->setStable();
        SetPvMoves(engine);
        if (v < beta) break;
        beta = WidenedBeta(v, stage, LastStageBound);
      } else {
        if (clock) clock->setUnstable();
        alpha = WidenedAlpha(v, stage, -LastStageBound);
      }
    }
    previous = v;
    if (engine->stopFlag.load()) return;
    PVLine* line = &root->line;
    if (line->flag) {
      if (finalDepth < 0) {
        finalDepth = n;
      } else if (n > finalDepth + 2) {
        return;
      }
    } else if (CompletePvFromHash(engine) > 0 && engine->listenerCount > 0) {
      NotifyListeners(engine, line, 0);
    }
    if (clock) clock->iterationDone(n, line->moves[0]);
    SetPvMoves(engine);
  }
}

// Searches a root move with the window (alpha, beta), widening it until the score falls
// strictly inside; AbortScore on an abort.
i32 SettleRootMove(Engine* engine, i32 alpha, i32 beta, i32 n) {
  SearchFrame* first = &engine->frames[1];
  i32 lowStage = 0;
  i32 highStage = 0;
  for (;;) {
    i32 r = Search(first, -beta, -alpha, OnePly * (n - 1));
    if (r == AbortScore) return AbortScore;
    i32 v = -r;
    if (v <= alpha) {
      alpha = WidenedAlpha(v, lowStage, -MateScore);
      ++lowStage;
    } else if (v >= beta) {
      beta = WidenedBeta(v, highStage, MateScore);
      ++highStage;
    } else {
      return v;
    }
  }
}

void SearchMultiPv(Engine* engine, i32 lines) {
  SearchFrame* root = &engine->frames[0];
  SearchFrame* first = &engine->frames[1];
  MultiPvList* list = &engine->multiPv;
  MoveList* moves = &root->moves;
  TimeController* clock = engine->timeController;
  PrepareRootMoves(engine);
  for (i32 n = 1; n <= engine->maxDepth; ++n) {
    engine->depthReached = n;
    root->alpha = -MateScore;
    root->beta = MateScore;
    root->depth64 = OnePly * n;
    root->extension = 0;
    root->staticEval = StaticEvaluation(root);
    ClearMultiPvList(list);
    GameHistory* history = engine->history;
    history->entries[history->count].before = *engine->board;
    if (moves->count == 0) {
      NoMoveResult(engine);
    } else {
      root->nodeType = TTExact;
      SortRootMoves(moves);
    }
    i32 threshold = -MateScore;
    const i32 halfWidth = 4096 / (OnePly * n);
    for (i32 i = 0; i < moves->count; ++i) {
      const u32 move = moves->moves[i];
      root->moveIndex = i;
      MakeRootMove(engine, move);
      i32 v;
      if (i < lines) {
        i32 centre = moves->scores[i] >> 7;
        v = SettleRootMove(engine, centre - halfWidth, centre + halfWidth, n);
      } else {
        i32 r = Search(first, -threshold - 1, -threshold, OnePly * (n - 1));
        v = r == AbortScore ? AbortScore : -r;
        if (v != AbortScore && v > threshold) v = SettleRootMove(engine, threshold, v + 10, n);
      }
      UndoMove(engine->history);
      if (v == AbortScore || engine->stopFlag.load()) return;

      moves->scores[i] = 128 * v - i;
      if (v > threshold) {
        i32 place = list->update(move, &first->line, v, InsideWindowBound(v, first));
        if (place != MultiPvListFull) {
          EndLineAtGameDraw(engine->board, history, &list->entries[place]);
          if (place == 0) root->line = list->entries[0];
          u32 shown = list->count < static_cast<u32>(lines) ? list->count : static_cast<u32>(lines);
          for (u32 k = 0; k < shown; ++k)
            NotifyListeners(engine, &list->entries[k], static_cast<i32>(k) + 1);
          if (i >= lines) threshold = list->entries[shown - 1].score;
        }
      }
      ReportCurrentMove(engine, move, i + 1, n);
    }
    if (clock) clock->iterationDone(n, root->line.moves[0]);
    SetPvMoves(engine);
  }
}

}  // namespace

u64 SearchNodes(const Engine* engine) {
  u64 nodes = 0;
  for (const SearchFrame& frame : engine->frames) nodes += frame.stats.nodes;
  return nodes;
}

i32 SearchNodesPerSecond(const Engine* engine, u64 nodes) {
  i64 elapsed = ElapsedMs(engine);
  if (elapsed < 1) elapsed = 1;
  u64 nps = nodes / static_cast<u64>(elapsed) * 1000 +
            nodes % static_cast<u64>(elapsed) * 1000 / static_cast<u64>(elapsed);
  return nps > static_cast<u64>(INT32_MAX) ? INT32_MAX : static_cast<i32>(nps);
}

i32 RootBookBonus(const Engine* engine, u32 move) {
  const MoveList& candidates = engine->bookCandidates;
  i32 count = candidates.count < MoveListCapacity ? candidates.count : MoveListCapacity;
  for (i32 i = 0; i < count; ++i) {
    if (candidates.moves[i] != move) continue;
    double share = candidates.scores[i] / 1073741824.0;
    if (share < 0) share = 0;
    if (share > 1) share = 1;
    i32 threshold = BookThresholdPercent(SideToMove(engine->board) == Black);
    if (threshold > 100.0 * share) return static_cast<i32>(800.0 * share - 400.0);
    return 0;
  }
  return 0;
}

void SearchRoot(Engine* engine) {
  FallbackStartMs = NowMs();
  LoadSearchParams();
  MakeRoomForSearch(engine->history);
  ClearFrames(engine);
  if (Network.loaded) RefreshAccumulator(engine->board, &engine->accumulators[0]);
  UpdatePhase(engine->board);
  if (!engine->analysing) TT.advanceAge();
  AgeHistory();
  engine->stopFlag = 0;
  engine->selDepth = 0;
  engine->depthReached = 1;

  i32 lines = engine->protocol ? static_cast<i32>(engine->protocol->multiPvCount) : 1;
  if (lines < 1) lines = 1;
  if (lines > MaxMultiPv) lines = MaxMultiPv;
  if (lines != 1) ClearMultiPvList(&engine->multiPv);
  if (engine->maxDepth < 1) return;
  if (lines == 1) {
    SearchOneLine(engine);
  } else {
    SearchMultiPv(engine, lines);
  }
}
