// Self-play games for training data.
#include "common/selfplay_game.h"

#include <algorithm>
#include <cstdlib>

#include "board/attack_map.h"
#include "board/fen.h"
#include "board/movegen.h"
#include "common/rng.h"
#include "search/engine.h"
#include "search/game_history.h"
#include "search/history_table.h"
#include "search/root_search.h"
#include "search/search.h"
#include "search/transposition_table.h"

void NodeBudgetController::start(u32, i32, i32) { startMs = NowMs(); }

bool NodeBudgetController::isTimeUp() { return SearchNodes(engine) >= budget; }

bool IsQuietTrainingPosition(const Board* board, u32 bestMove, i32 score) {
  if (InCheck(board)) return false;
  if (score >= MateBandScore || score <= -MateBandScore) return false;
  if (MovePromotion(bestMove) != NoPromotion) return false;
  const u32 to = MoveTo(bestMove);
  if (board->squares[to] != Empty) return false;
  const u8 piece = board->squares[MoveFrom(bestMove)];
  return !(TypeOf(piece) == TypeOf(WhitePawn) && to == board->epSquare);
}

bool IsInsufficientMaterial(const Board* board) {
  for (u8 piece : {WhitePawn, BlackPawn, WhiteRook, BlackRook, WhiteQueen, BlackQueen})
    if (board->pieceLists[piece].count != 0) return false;
  u32 minors = 0;
  for (u8 piece : {WhiteKnight, BlackKnight, WhiteBishop, BlackBishop})
    minors += board->pieceLists[piece].count;
  return minors <= 1;
}

u64 GameSeed(u64 runSeed, u64 index) {
  ToolRng mix(runSeed ^ (index * 0x9e3779b97f4a7c15ull));
  return mix.Next();
}

const char* GameEndName(GameEnd end) {
  switch (end) {
    case GameEnd::DroppedOpening: return "dropped opening";
    case GameEnd::Mate: return "mate";
    case GameEnd::Stalemate: return "stalemate";
    case GameEnd::FiftyMoves: return "fifty moves";
    case GameEnd::Repetition: return "repetition";
    case GameEnd::Material: return "insufficient material";
    case GameEnd::WinAdjudicated: return "win adjudicated";
    case GameEnd::DrawAdjudicated: return "draw adjudicated";
    case GameEnd::MaxLength: return "maximum length";
  }
  return "?";
}

bool IsThreefoldRepetition(const GameHistory* history, const Board* board) {
  const i64 count = history->count;
  const i64 oldest = std::max<i64>(0, count - 1 - board->halfMoveClock);
  int seen = 0;
  // entries[i].key is the position after move i; the same side is to move every second entry.
  for (i64 i = count - 3; i >= oldest; i -= 2)
    if (history->entries[i].key == board->key && ++seen == 2) return true;
  // The position before the first move counts too when the whole history is reversible.
  if (seen == 1 && oldest == 0 && (count - 1) % 2 == 1 &&
      history->entries[0].before.key == board->key)
    return true;
  return false;
}

namespace {

GameOutcome Finish(GameOutcome outcome, GameEnd end, GameResult result) {
  outcome.end = end;
  outcome.result = result;
  return outcome;
}

}  // namespace

GameOutcome PlaySelfPlayGame(Engine* engine, NodeBudgetController* controller,
                             const SelfPlaySettings& settings, u64 seed,
                             std::vector<TrainingRecord>* records) {
  GameOutcome outcome;
  Board* board = engine->board;
  GameHistory* history = engine->history;
  controller->engine = engine;
  controller->budget = settings.nodes;
  engine->timeController = controller;
  engine->maxDepth = DefaultMaxDepth;
  TT.clear();
  ClearHistory();
  SetFen(board, StartFen);
  history->count = 0;

  ToolRng rng(seed);
  const int openingPlies = settings.randomPlies + static_cast<int>(rng.Below(2));
  MoveList legal;
  for (int ply = 0; ply < openingPlies; ++ply) {
    legal.count = 0;
    GenerateLegalMoves(board, &legal);
    if (legal.count == 0) return outcome;
    PushGameMove(history, legal.moves[rng.Below(static_cast<u64>(legal.count))]);
    ++outcome.plies;
  }

  std::vector<TrainingPosition> kept;
  int winStreak = 0;  // + White, - Black: plies in a row with a decisive score
  int drawStreak = 0;
  for (;;) {
    legal.count = 0;
    GenerateLegalMoves(board, &legal);
    const u32 mover = SideToMove(board);
    GameResult moverLoses = mover == White ? BlackWin : WhiteWin;
    if (legal.count == 0) {
      if (outcome.searched == 0) return outcome;
      outcome = InCheck(board) ? Finish(outcome, GameEnd::Mate, moverLoses)
                               : Finish(outcome, GameEnd::Stalemate, Draw);
      break;
    }
    if (outcome.searched > 0) {
      if (board->halfMoveClock >= 100) { outcome = Finish(outcome, GameEnd::FiftyMoves, Draw); break; }
      if (IsThreefoldRepetition(history, board)) { outcome = Finish(outcome, GameEnd::Repetition, Draw); break; }
      if (IsInsufficientMaterial(board)) { outcome = Finish(outcome, GameEnd::Material, Draw); break; }
      if (outcome.plies >= settings.maxPlies) { outcome = Finish(outcome, GameEnd::MaxLength, Draw); break; }
    }

    controller->start(0, 0, 0);
    SearchRoot(engine);
    const PVLine& line = engine->frames[0].line;
    const bool haveLine = line.length > 0;
    const u32 move = haveLine ? line.moves[0] : legal.moves[0];
    const i32 score = line.score;
    ++outcome.searched;
    if (outcome.searched == 1 && (!haveLine || std::abs(score) > settings.openingLimit)) {
      outcome.searched = 0;
      return outcome;
    }

    if (haveLine) {
      if (score >= MateBandScore || score <= -MateBandScore) {
        const bool moverWins = score > 0;
        outcome = Finish(outcome, GameEnd::WinAdjudicated,
                         moverWins ? (mover == White ? WhiteWin : BlackWin) : moverLoses);
        break;
      }
      const i32 whiteScore = mover == White ? score : -score;
      if (outcome.plies >= settings.firstKeptPly && IsQuietTrainingPosition(board, move, score)) {
        TrainingPosition position = TrainingPositionFromBoard(board);
        position.score = static_cast<i16>(std::clamp(whiteScore, -32000, 32000));
        position.spare = static_cast<u8>(std::min(outcome.plies, 255));
        kept.push_back(position);
      }
      if (whiteScore >= settings.winScore) {
        winStreak = winStreak > 0 ? winStreak + 1 : 1;
      } else if (whiteScore <= -settings.winScore) {
        winStreak = winStreak < 0 ? winStreak - 1 : -1;
      } else {
        winStreak = 0;
      }
      drawStreak = std::abs(score) <= settings.drawScore ? drawStreak + 1 : 0;
      if (std::abs(winStreak) >= settings.winPlies) {
        outcome = Finish(outcome, GameEnd::WinAdjudicated, winStreak > 0 ? WhiteWin : BlackWin);
        break;
      }
      if (drawStreak >= settings.drawPlies && outcome.plies >= settings.drawFromPly) {
        outcome = Finish(outcome, GameEnd::DrawAdjudicated, Draw);
        break;
      }
    } else {
      winStreak = 0;
      drawStreak = 0;
    }
    PushGameMove(history, move, 1);
    ++outcome.plies;
  }

  for (TrainingPosition& position : kept) {
    position.result = outcome.result;
    TrainingRecord record;
    if (EncodeTrainingRecord(position, &record)) records->push_back(record);
  }
  return outcome;
}
