// The node of the main search, in its fixed order: poll, draws, table, tablebases, horizon,
// evaluation, extensions, static pruning, null move, then the ordered move loop.
#include "search/search.h"

#include <algorithm>

#include "board/attack_map.h"
#include "board/movegen.h"
#include "board/zobrist.h"
#include "eval/see.h"
#include "search/engine.h"
#include "search/frame_entries.h"
#include "search/line_draws.h"
#include "search/move_ordering.h"
#include "search/quiescence.h"
#include "search/time_controller.h"
#include "search/transposition_table.h"
#include "tablebase/probe.h"

u32 NodePollCounter = 0;
const i32 StaticPruneMargin[8] = {150, 175, 200, 300, 600, 900, 1500, 2000};

namespace {

// A draw by repetition: the same key an even number of plies back, no further back than the
// last capture or pawn move (the position right after it included).
inline bool IsRepetition(const SearchFrame* frame) {
  const GameHistory* history = frame->history;
  const Board* board = frame->board;
  i32 reach = std::min<i32>(board->halfMoveClock, static_cast<i32>(history->count) - 1);
  if (reach < 2) return false;
  const HistoryEntry* top = &history->entries[history->count - 1];
  for (i32 k = 2; k <= reach; k += 2) {
    if ((top - k)->key == board->key) return true;
  }
  return false;
}

inline u32 MenOtherThanPawns(const Board* board, u32 colour) {
  return board->pieceCount[colour] - board->pieceLists[WhitePawn | colour].count;
}

inline i32 Chebyshev(u32 a, u32 b) {
  i32 files = static_cast<i32>(FileOf(a)) - static_cast<i32>(FileOf(b));
  i32 ranks = static_cast<i32>(RankOf(a)) - static_cast<i32>(RankOf(b));
  return std::max(files < 0 ? -files : files, ranks < 0 ? -ranks : ranks);
}

// Whether the piece arriving on `to` would give check to the king on kingSquare by the square
// relation alone (lines must be clear on the board as it is before the move).
inline bool MatchesCheckPattern(const Board* board, u8 mover, u32 to, u32 kingSquare) {
  u32 relation = SquareRelation[to][kingSquare];
  if (relation == 0) return false;
  switch (TypeOf(mover)) {
    case TypeOf(WhiteKnight):
      return relation == 2;
    case TypeOf(WhitePawn): {
      i32 fileStep = static_cast<i32>(FileOf(kingSquare)) - static_cast<i32>(FileOf(to));
      i32 rankStep = static_cast<i32>(RankOf(kingSquare)) - static_cast<i32>(RankOf(to));
      return (fileStep == 1 || fileStep == -1) && rankStep == (ColourOf(mover) == White ? 1 : -1);
    }
    case TypeOf(WhiteKing):
      return false;
    default: {
      if ((relation & 1) == 0) return false;
      u32 direction = (relation >> 2) & 7;
      u32 distance = relation >> 5;
      for (u32 step = 1; step < distance; ++step)
        if (board->squares[RaySquare[to][direction * 8 + step]] != Empty) return false;
      return true;
    }
  }
}

}  // namespace

i32 Search(SearchFrame* frame, i32 alpha, i32 beta, i32 depth64) {
  Engine* engine = frame->engine;
  Board* board = frame->board;
  SearchFrame* parent = frame->parent;
  SearchFrame* child = frame->child;
  GameHistory* history = frame->history;
  const SearchParams& p = ActiveParams;
  const i32 ply = frame->ply;

  // Reset.
  frame->flags = 0;
  frame->extension = 0;
  frame->line.flag = 0;
  frame->line.bound = PVExact;
  frame->line.length = 0;
  frame->nodeType = TTUpper;
  frame->depth64 = depth64;
  frame->alpha = alpha;
  frame->beta = beta;
  if (ply > engine->selDepth) engine->selDepth = ply;

  // Poll the clock and the stop flag.
  if ((NodePollCounter++ & 63) == 0) {
    TimeController* clock = engine->timeController;
    if ((clock && clock->isTimeUp()) || engine->stopFlag.load(std::memory_order_relaxed))
      return AbortScore;
  }

  // The ply bound and the draws. The node types of early returns only tell the caller what
  // the result is worth (ResultBound); nothing is counted or stored for them.
  if (ply > MaxSearchPly) {
    frame->nodeType = TTExact;
    return StaticEvaluation(frame);
  }
  if (board->halfMoveClock >= FiftyMoveClock && IsCheckmate(board)) {
    frame->nodeType = TTFinal;
    frame->line.flag = 1;
    return ply - MateScore;
  }
  if (board->halfMoveClock >= FiftyMoveClock || IsRepetition(frame)) {
    frame->nodeType = TTExact;
    return DrawScore;
  }

  if (parent->currentMove == NoMove) frame->stats.afterNullNodes += 1;

  // Transposition table.
  i32 score;
  if (ProbeTranspositionTable(frame, depth64, &alpha, &beta, &score)) return score;

  // Tablebases: a known value ends the node as a final result.
  if (ProbeTablebase(frame, &score)) return score;

  // Horizon.
  const bool inCheck = InCheck(board);
  if (depth64 < 1 && !inCheck) {
    score = Quiesce(frame, alpha, beta, depth64);
    i32 bound = score >= beta ? TTLower : score > alpha ? TTExact : TTUpper;
    frame->nodeType = bound;
    TT.store(board, bound, frame->line.length ? frame->line.moves[0] : EmptyMove, score, depth64,
             ply);
    return score;
  }

  // Static evaluation.
  const i32 staticEval = StaticEvaluation(frame);
  frame->staticEval = staticEval;
  if (frame->recogniserCode == RecogniserDraw) {
    frame->nodeType = TTExact;
    frame->line.flag = 1;
    return staticEval;
  }

  // Extensions.
  const u32 us = SideToMove(board);
  const u32 parentMove = parent->currentMove;
  const u8 parentMover = parent->movingPiece;
  const u8 parentVictim = parent->capturedPiece;
  SearchFrame* grandparent = ply > 1 ? parent->parent : nullptr;
  i32 extension = 0;
  bool staticPruneAllowed = true;
  if (inCheck) {
    extension += p.extCheck;
    frame->stats.inCheckNodes += 1;
  }
  if ((parentMover == WhitePawn && RankOf(MoveTo(parentMove)) == 6) ||
      (parentMover == BlackPawn && RankOf(MoveTo(parentMove)) == 1))
    extension += p.extPawnOn7th;
  if (parentVictim != Empty && TypeOf(parentVictim) != 0 && MenOtherThanPawns(board, White) == 1 &&
      MenOtherThanPawns(board, Black) == 1)
    extension += p.extPawnEndgame;
  if (grandparent) {
    if (extension == 0 && parentVictim != Empty && beta - 1 != alpha) {
      const u8 earlierVictim = grandparent->capturedPiece;
      i32 rootScore = engine->frames[0].line.score;
      if (ply & 1) rootScore = -rootScore;
      i32 victimGap = PieceValue[parentVictim] - PieceValue[earlierVictim];
      i32 evalGap = staticEval - rootScore;
      if (earlierVictim != Empty && MoveTo(grandparent->currentMove) == MoveTo(parentMove) &&
          PieceValue[parentVictim] > 100 && victimGap <= 30 && victimGap >= -30 &&
          evalGap <= 79 && evalGap >= -79)
        extension = p.extRetake;
    }
    if (engine->depthReached <= 2 * ply && grandparent->onPvPath && !parent->onPvPath)
      extension += p.extPv;
    if (extension > OnePly) {
      staticPruneAllowed = false;
    } else if (inCheck && board->halfMoveClock > 4 && staticEval >= 500 &&
               grandparent->extension >= p.extCheck) {
      extension += 32;
    }
  }
  frame->extension = extension;

  // Static pruning.
  if (staticPruneAllowed && extension <= 0 && depth64 <= p.staticPruneDepth) {
    i64 margin = depth64 < 0 ? 150 : depth64 >= 512 ? 2000 : StaticPruneMargin[depth64 / OnePly];
    margin = margin * p.pruneMargin / 64;
    i64 e = staticEval;
    if (p.ksWorstWeight > 0) e -= i64{KingZoneAttacks(board, static_cast<int>(us))} * p.ksWorstWeight;
    e -= HangingValue(board, us);
    if (beta < e - margin) {
      frame->nodeType = TTLower;
      return staticEval;
    }
  }

  // The snapshot every move of this node is taken back to.
  HistoryEntry* entry = &history->entries[history->count];
  entry->before = *board;
  MoveList* moves = &frame->moves;
  moves->count = 0;
  moves->next = 0;
  bool generated = false;

  // Null move.
  if (!inCheck && parentMove != NoMove && depth64 + extension >= 65) {
    bool allowed = true;
    if (MenOtherThanPawns(board, us) < 3) {
      GenerateLegalMoves(board, moves);
      generated = true;
      if (moves->count <= 9) {
        allowed = false;
      } else {
        i32 kingMoves = 0;
        const u32 kingSquare = KingSquare(board, us);
        for (i32 i = 0; i < moves->count; ++i) kingMoves += MoveFrom(moves->moves[i]) == kingSquare;
        allowed = kingMoves >= 3;
      }
    }
    if (allowed) {
      entry->move = NoMove;
      board->key ^= ZobristSide ^ ZobristEnPassant[board->epSquare] ^ ZobristEnPassant[NoSquare];
      board->gamePly += 1;
      board->epSquare = NoSquare;
      entry->key = board->key;
      history->count += 1;
      frame->currentMove = NoMove;
      frame->movingPiece = 64;
      frame->capturedPiece = Empty;
      if (Network.loaded) engine->accumulators[ply + 1] = engine->accumulators[ply];

      i32 d = depth64 + extension - p.nullRedDepth - OnePly;
      if (d >= 3 * OnePly && !KingRuleFires(p.ksNullReduce, [&] {
            return KingZoneAttacks(board, static_cast<int>(us ^ 1));
          }))
        d -= OnePly;
      i32 v = d > 0 ? -Search(child, -beta, 1 - beta, d) : -Quiesce(child, -beta, 1 - beta, d);
      UndoMove(history);
      if (v == -AbortScore) return AbortScore;
      if (v >= beta) {
        TT.store(board, TTLower, EmptyMove, beta, d, ply);
        frame->nodeType = TTLower;
        return beta;
      }
      if (v <= -MateBandScore) {
        frame->flags |= 1;
        bool full = KingRuleFires(p.ksThreatExt,
                                  [&] { return KingZoneAttacks(board, static_cast<int>(us)); });
        if (full && extension < 1 && ply > 1 && (grandparent->flags & 1) == 0) {
          extension += p.extThreat;
        } else {
          extension += p.extThreat / 2;
        }
      }
    }
  }

  // Moves, the single-reply extension and the cap.
  if (!generated) GenerateLegalMoves(board, moves);
  i32 result = alpha;
  if (moves->count == 0) {
    frame->extension = std::min(p.extPerPly, extension);
  } else {
    ScoreMovesPhase1(frame);
    if (moves->count == 1) {
      extension += p.extSingle / 2;
      if (ply > 1 && extension < OnePly && grandparent->extension < 1) extension += p.extSingle / 2;
    }
    extension = std::min(p.extPerPly, extension);
    frame->extension = extension;
    frame->moveIndex = 0;

    // The move loop.
    const u32 enemyKing = KingSquare(board, us ^ 1);
    i32 kingRule = -1;  // the ks_prune_move rule, decided on first use
    bool phaseTwoDone = false;
    const bool parentOnPv = parent->onPvPath != 0;
    const i32 fullDepth = depth64 + extension - OnePly;
    // Once a move raised alpha on a score that is only its lower bound, the node's value may
    // lie above any later alpha too.
    bool raisedOnLowerBound = false;
    while (moves->next < moves->count) {
      PickOrderedMove(frame, &phaseTwoDone);
      const u32 move = moves->moves[moves->next - 1];
      const u32 to = MoveTo(move);
      const u8 mover = board->squares[MoveFrom(move)];
      const u32 captureSquare = CaptureSquareOf(board, move, mover);
      const u8 captured = board->squares[captureSquare];
      frame->onPvPath = parentOnPv && move == frame->pvMove;

      i32 reduction = 0;
      const i32 index = frame->moveIndex;
      if (frame->nodeType == TTUpper && !parentOnPv &&
          (depth64 > OnePly ? index >= p.msPruneFirst : index > p.msPruneFirst) &&
          MovePromotion(move) == NoPromotion &&
          !(mover == WhitePawn && RankOf(to) >= 6) && !(mover == BlackPawn && RankOf(to) <= 1) &&
          !MatchesCheckPattern(board, mover, to, enemyKing)) {
        bool exempt = false;
        if (Chebyshev(to, enemyKing) < 4) {
          if (kingRule < 0) {
            kingRule = KingRuleFires(p.ksPruneMove, [&] {
              return KingZoneAttacks(board, static_cast<int>(us ^ 1));
            });
          }
          exempt = kingRule != 0;
        }
        if (!exempt) {
          if (captured == Empty) {
            reduction = p.msPrune;
          } else if (move != frame->captureKillers[0] && move != frame->captureKillers[1] &&
                     StaticExchangeEval(&board->attacks, move) <= 0) {
            reduction = p.msPrune;
          }
        }
      }

      MakeFrameMove(frame, move, mover, captured, captureSquare);
      const i32 d = fullDepth - reduction;
      i32 v;
      if (frame->nodeType == TTUpper) {
        v = -Search(child, -beta, -alpha, d);
        if (reduction != 0 && v >= beta) {
          v = -Search(child, -alpha - 1, -alpha, fullDepth);
          if (v != -AbortScore && alpha < v && v < beta) {
            frame->stats.reSearches += 1;
            v = -Search(child, -beta, -alpha, fullDepth);
          }
        }
      } else {
        frame->stats.nullWindowSearches += 1;
        v = -Search(child, -alpha - 1, -alpha, d);
        if (v != -AbortScore && alpha < v && v < beta) {
          frame->stats.reSearches += 1;
          v = -Search(child, -beta, -alpha, d);
        }
      }
      UndoMove(history);
      if (v == -AbortScore) return AbortScore;

      if (v > alpha) {
        if (v >= beta) {
          // Cut-off.
          frame->stats.failHighs += 1;
          if (index == 0) frame->stats.failHighsFirst += 1;
          frame->stats.failHighEfficiency += 1.0 / (index + 1);
          frame->nodeType = TTLower;
          UpdateOrderingAfterCutoff(frame, move, mover, captured, depth64);
          result = v;
          break;
        }
        frame->nodeType = TTExact;
        CopyLine(&frame->line, move, &child->line, v);
        const u8 bound = FlippedBound(ResultBound(child));
        raisedOnLowerBound = raisedOnLowerBound || bound == PVLowerBound;
        frame->line.bound = raisedOnLowerBound ? PVLowerBound : bound;
        alpha = v;
        result = v;
      }
      frame->moveIndex += 1;
    }
  }

  // End of node.
  if (moves->count == 0) {
    frame->nodeType = TTFinal;
    frame->line.flag = 1;
    result = inCheck ? ply - MateScore : 0;
  }
  frame->stats.nodeTypes[frame->nodeType - 1] += 1;
  TT.store(board, static_cast<u32>(frame->nodeType),
           frame->line.length ? frame->line.moves[0] : EmptyMove, result, depth64, ply);
  return result;
}
