// Construction of the engine, the worker's think-play-ponder loop, and the operations with
// which the main thread wakes, stops and ends it.
#include "search/engine.h"

#include <chrono>

#include "board/attack_map.h"
#include "board/fen.h"
#include "board/movegen.h"
#include "book/book.h"
#include "protocol/protocol.h"
#include "search/history_table.h"
#include "search/pv_listener.h"
#include "search/think.h"
#include "search/time_controller.h"

static void ClearMoveList(MoveList* list) {
  for (u32& move : list->moves) move = 0;
  list->count = 0;
  list->next = 0;
  list->pickedScore = 0;
}

Engine::Engine(Protocol* protocol) {
  ClearMoveList(&bookCandidates);
  ponderMove = 0;
  for (SearchFrame& frame : frames) frame = SearchFrame{};
  ClearMultiPvList(&multiPv);
  this->protocol = protocol;
  timeController = nullptr;

  board = new Board();
  history = new GameHistory();
  history->board = board;
  history->count = 0;
  history->learnDone = 0;
  history->fullRestores = 0;
  history->partialRestores = 0;
  SetFen(board, StartFen);
  board->phase = Opening;

  listenerCount = 0;
  for (PVListener*& listener : listeners) listener = nullptr;
  maxDepth = DefaultMaxDepth;
  depthReached = 0;
  selDepth = 0;
  useTablebases = 1;

  for (i32 i = 0; i < SearchFrameCount; ++i) {
    SearchFrame& frame = frames[i];
    frame.engine = this;
    frame.history = history;
    frame.board = board;
    frame.ply = i;
    frame.parent = i > 0 ? &frames[i - 1] : nullptr;
    frame.child = i + 1 < SearchFrameCount ? &frames[i + 1] : nullptr;
    frame.movingPiece = Empty;
    frame.capturedPiece = Empty;
  }
  for (Accumulator& accumulator : accumulators) accumulator = Accumulator{};

  ClearHistory();
  analysing = 0;

  bookPair = new BookPair{};
  bookPair->board = board;
  bookPair->mainBook = Book{nullptr, board, 0, 0};
  bookPair->learnBook = Book{nullptr, board, 0, 0};

  ponderMode = PonderOff;
  threadState = ThreadNotStarted;
  goFlag = 0;
  quitFlag = 0;
  stopFlag = 0;

  thread = std::thread(SearchThreadEntry, this);
  while (threadState.load() == ThreadNotStarted) std::this_thread::yield();
}

Engine::~Engine() {
  if (thread.joinable()) QuitEngine(this);
  delete[] bookPair->mainBook.table;
  delete[] bookPair->learnBook.table;
  delete bookPair;
  delete history;
  delete board;
}

void* SearchThreadEntry(void* engine) {
  SearchThreadLoop(static_cast<Engine*>(engine));
  return nullptr;
}

// The expected reply that the worker pushed goes when its search is not played, so that
// the game stays as the protocol left it.
static void TakeBackPonderMove(Engine* engine, bool pushed) {
  if (pushed) UndoMove(engine->history);
}

// Plays frame 0's first move, or the first legal move when the search left no line; false
// when there is nothing to play.
static bool PlayBestMove(Engine* engine) {
  PVLine& line = engine->frames[0].line;
  Board* board = engine->board;
  if (line.length <= 0) {
    MoveList moves;
    moves.count = 0;
    GenerateLegalMoves(board, &moves);
    if (moves.count == 0) return false;
    line.moves[0] = moves.moves[0];
    line.flag = 0;
    line.length = 1;
  }
  u32 best = line.moves[0];
  PushGameMove(engine->history, best, 1);

  engine->ponderMove = line.length > 1 ? line.moves[1] : 0;
  // A stop asked during the think means no pondering afterwards; StopSearch cancels a ponder
  // that slips past this test.
  bool ponder = engine->ponderMove != 0 && engine->protocol->ponderAllowed.load() != 0 &&
                engine->protocol->isPonderEnabled() && engine->stopFlag.load() == 0;
  engine->ponderMode = ponder ? PonderOn : PonderOff;

  if (engine->timeController) engine->timeController->setPredictedMove(best, engine->ponderMove);
  engine->protocol->sendBestMove(best, engine->ponderMove);

  MoveList replies;
  replies.count = 0;
  GenerateLegalMoves(board, &replies);
  if (replies.count == 0) {
    if (InCheck(board)) {
      engine->protocol->sendResult(SideToMove(board) == White ? ResultBlackWins : ResultWhiteWins);
    } else {
      engine->protocol->sendResult(ResultStalemate);
    }
  }
  return true;
}

void SearchThreadLoop(Engine* engine) {
  for (;;) {
    if (engine->ponderMode.load() != PonderOn) {
      std::unique_lock<std::mutex> wake(engine->wakeMutex);
      // Idle is announced only while no go is pending, so StopSearch never mistakes a worker
      // that is about to think for an idle one.
      while (!engine->goFlag && !engine->quitFlag.load()) {
        engine->threadState = ThreadIdle;
        engine->wakeCondition.wait(wake);
      }
      engine->goFlag = 0;
      engine->threadState = ThreadBusy;
    }
    if (engine->quitFlag.load()) return;

    engine->threadState = ThreadBusy;
    std::unique_lock<std::mutex> think(engine->thinkMutex);
    bool pushedPonder = false;
    if (engine->ponderMode.load() == PonderOn && engine->protocol->isPonderEnabled() &&
        engine->ponderMove != 0 && IsLegalMove(engine->board, engine->ponderMove)) {
      PushGameMove(engine->history, engine->ponderMove, 0);
      pushedPonder = true;
    }

    engine->threadState = ThreadThinking;
    if (!Think(engine)) {
      // Still pondering means the expected reply was not played: take it back. The exchange
      // settles it against a ponder hit that the protocol claims at the same moment.
      i32 pondering = PonderOn;
      bool notPlayed = engine->ponderMode.compare_exchange_strong(pondering, PonderOff) ||
                       pondering == PonderAbandoned;
      TakeBackPonderMove(engine, pushedPonder && notPlayed);
      engine->ponderMode = PonderOff;
      engine->threadState = ThreadBusy;
      continue;
    }
    while (engine->ponderMode.load() == PonderOn)
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    engine->threadState = ThreadBusy;
    if (engine->ponderMode.load() == PonderAbandoned) {
      TakeBackPonderMove(engine, pushedPonder);
      continue;
    }
    if (!PlayBestMove(engine)) {
      engine->ponderMode = PonderOff;
    }
  }
}

void WakeEngine(Engine* engine) {
  engine->stopFlag = 0;
  std::lock_guard<std::mutex> wake(engine->wakeMutex);
  engine->goFlag = 1;
  // Busy from now on, so that a StopSearch right after this waits for the move of this go.
  i32 idle = ThreadIdle;
  engine->threadState.compare_exchange_strong(idle, ThreadBusy);
  engine->wakeCondition.notify_one();
}

void StopSearch(Engine* engine) {
  // Asserted again on every poll: the search clears stopFlag when it starts, and the worker
  // may enter a ponder search after the first assertion.
  for (;;) {
    i32 pondering = PonderOn;
    engine->ponderMode.compare_exchange_strong(pondering, PonderAbandoned);
    engine->stopFlag = 1;
    if (engine->threadState.load() == ThreadIdle) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  std::lock_guard<std::mutex> wake(engine->wakeMutex);
  engine->goFlag = 0;
}

void QuitEngine(Engine* engine) {
  StopSearch(engine);
  engine->quitFlag = 1;
  {
    std::lock_guard<std::mutex> wake(engine->wakeMutex);
    engine->goFlag = 1;
    engine->wakeCondition.notify_one();
  }
  if (engine->thread.joinable()) engine->thread.join();
}

bool RegisterListener(Engine* engine, PVListener* listener) {
  if (engine->listenerCount >= ListenerCapacity) return false;
  engine->listeners[engine->listenerCount++] = listener;
  return true;
}

void AddSearchStats(SearchStats* total, const SearchStats& part) {
  total->nodes += part.nodes;
  total->quiescenceNodes += part.quiescenceNodes;
  total->afterNullNodes += part.afterNullNodes;
  total->failHighs += part.failHighs;
  total->failHighsFirst += part.failHighsFirst;
  total->failHighEfficiency += part.failHighEfficiency;
  total->ttHits += part.ttHits;
  total->ttMisses += part.ttMisses;
  total->tablebaseHits += part.tablebaseHits;
  for (int k = 0; k < 4; ++k) total->nodeTypes[k] += part.nodeTypes[k];
  total->nullWindowSearches += part.nullWindowSearches;
  total->reSearches += part.reSearches;
  total->evalCalls += part.evalCalls;
  total->networkEvals += part.networkEvals;
  total->orderedMoves += part.orderedMoves;
  total->unorderedMoves += part.unorderedMoves;
  total->inCheckNodes += part.inCheckNodes;
}

SearchStats SumSearchStats(const Engine* engine) {
  SearchStats sum{};
  for (const SearchFrame& frame : engine->frames) AddSearchStats(&sum, frame.stats);
  return sum;
}

bool RemoveListener(Engine* engine, PVListener* listener) {
  for (i32 i = 0; i < engine->listenerCount; ++i) {
    if (engine->listeners[i] != listener) continue;
    for (i32 j = i + 1; j < engine->listenerCount; ++j) engine->listeners[j - 1] = engine->listeners[j];
    engine->listeners[--engine->listenerCount] = nullptr;
    return true;
  }
  return false;
}
