// Think: the book, the end of the game, draw claims, the search and resignation.
#include "search/think.h"

#include <cstdlib>
#include <ctime>

#include "board/attack_map.h"
#include "board/movegen.h"
#include "book/book.h"
#include "config/params.h"
#include "protocol/protocol.h"
#include "search/engine.h"
#include "search/line_draws.h"
#include "search/root_search.h"
#include "search/score.h"
#include "search/time_controller.h"

i32 ChooseBookCandidate(const MoveList* candidates, i32 thresholdPercent, bool random,
                        int (*randomNumber)()) {
  for (i32 i = 0; i < candidates->count; ++i) {
    double percent = candidates->scores[i] * 100.0 / BookWeightOne;
    if (percent <= thresholdPercent) return i - 1;  // -1 when even the first is too weak
    if (!random || i + 1 == candidates->count) return i;
    int r = randomNumber();
    if ((r ^ (r >> 1) ^ (r >> 2) ^ (r >> 3) ^ (r >> 4)) & 1) return i;
  }
  return -1;
}

i32 RepetitionCount(const Engine* engine) {
  const GameHistory* history = engine->history;
  const Board* board = engine->board;
  i32 count = 1;
  for (u32 distance = 2; distance <= board->halfMoveClock && distance < history->count;
       distance += 2) {
    if (history->entries[history->count - 1 - distance].key == board->key) ++count;
  }
  return count;
}

i32 BookLineScore(i32 weight) { return static_cast<i32>(400.0 * weight / BookWeightOne - 200.0); }

bool ResignationDue(i32 score, i64 elapsedMs, i32 depthReached) {
  // Mate scores are left to the game: a mate the search sees may still be escaped.
  // In 64 bits: the registry keeps any 32-bit value, and -INT_MIN has no 32-bit form.
  return static_cast<i64>(score) < -static_cast<i64>(resign.load()) && score > -MateBandScore &&
         elapsedMs > 2000 && depthReached > 5;
}

static int LibraryRandom() { return std::rand(); }

// The book move, reported as a one-move line; false when the books have none to play.
static bool PlayFromBook(Engine* engine) {
  std::srand(static_cast<unsigned>(std::clock()));
  CollectBookMoves(engine->bookPair, &engine->bookCandidates);
  i32 chosen = ChooseBookCandidate(&engine->bookCandidates,
                                   BookThresholdPercent(SideToMove(engine->board) == Black),
                                   book_random.load() != 0, LibraryRandom);
  if (chosen < 0) return false;
  PVLine& line = engine->frames[0].line;
  line.moves[0] = engine->bookCandidates.moves[chosen];
  line.length = 1;
  line.flag = 0;
  line.bound = PVExact;
  line.score = BookLineScore(engine->bookCandidates.scores[chosen]);
  engine->protocol->sendPV(0, 1, 1, 0, 1, 3, 1, &line);
  return true;
}

bool Think(Engine* engine) {
  Board* board = engine->board;
  GameHistory* history = engine->history;
  Protocol* protocol = engine->protocol;
  engine->bookCandidates.count = 0;
  u32 lastMove = history->count > 0 ? history->entries[history->count - 1].move : 0;
  i32 movesToGo = protocol->movesToGo();
  i32 increment = protocol->increment();
  engine->timeController->start(lastMove, movesToGo, increment);

  if (board->phase <= Middlegame && PlayFromBook(engine)) return true;

  // While the engine ponders on the reply it expects, the position is not the game's: it is
  // neither reported as over nor claimed as drawn.
  bool ownGame = engine->ponderMove == 0;
  if (CountLegalMoves(board) == 0) {
    i32 code = !InCheck(board) ? ResultStalemate
               : SideToMove(board) == White ? ResultBlackWins : ResultWhiteWins;
    if (ownGame) protocol->sendResult(code);
    return false;
  }
  if (ownGame && RepetitionCount(engine) > 2 && protocol->sendResult(ResultRepetition)) return false;
  if (ownGame && DrawnByFiftyMoves(board) && protocol->sendResult(ResultFiftyMoves)) return false;

  SearchRoot(engine);

  i64 elapsed = NowMs() - engine->timeController->startMs;
  if (ownGame && ResignationDue(engine->frames[0].line.score, elapsed, engine->depthReached))
    return !protocol->sendResult(ResultResign);
  return true;
}
