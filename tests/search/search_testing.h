// A protocol, a clock and a listener that record what the search reports, an engine set up the
// way the test tools use it (searching on the calling thread), and a brute-force mate check.
#pragma once

#include <gtest/gtest.h>

#include <climits>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "board/board_testing.h"
#include "board/attack_map.h"
#include "board/fen.h"
#include "board/make_move.h"
#include "board/movegen.h"
#include "board/notation.h"
#include "config/params.h"
#include "eval/network.h"
#include "eval/nnue.h"
#include "protocol/silent_protocol.h"
#include "search/engine.h"
#include "search/history_table.h"
#include "search/pv_listener.h"
#include "search/quiescence.h"
#include "search/root_search.h"
#include "search/search.h"
#include "search/time_controller.h"
#include "search/transposition_table.h"

namespace search_testing {

struct CurrMoveReport {
  u32 move;
  i32 number;
  i32 depth;
  u64 nodes;
  i32 nps;
};

class RecordingProtocol final : public SilentProtocol {
 public:
  std::vector<CurrMoveReport> currMoves;

  void sendCurrMove(u32 move, i32 number, i32 depth, i32, u64 nodes, i32 nps) override {
    currMoves.push_back({move, number, depth, nodes, nps});
  }
};

// What the root tells the clock, with frame 0's window and line score at each call.
struct ClockEvent {
  enum Kind { Stable, Unstable, IterationDone } kind;
  i32 alpha;
  i32 beta;
  i32 lineScore;
  u8 lineFlag;
  i32 depth;
  u32 move;
};

// No limit unless told: time is up after `pollsAllowed` polls, or when `stopWhen` says so.
class RecordingClock final : public TimeController {
 public:
  Engine* watched = nullptr;
  std::vector<ClockEvent> events;
  i64 pollsAllowed = -1;
  i64 polls = 0;

  void setLevel(i32, i32) override {}
  void setTime(i32 ms) override { time = ms; }
  i64 getTime() override { return time; }
  void ponderHit() override {}
  void start(u32, i32, i32) override { startMs = NowMs(); }
  void setPredictedMove(u32, u32) override {}
  void setUnstable() override { record(ClockEvent::Unstable, 0, 0); }
  void setStable() override { record(ClockEvent::Stable, 0, 0); }
  void iterationDone(i32 depth, u32 move) override {
    record(ClockEvent::IterationDone, depth, move);
  }
  bool isTimeUp() override { return pollsAllowed >= 0 && ++polls > pollsAllowed; }

  std::vector<i32> iterationDepths() const {
    std::vector<i32> depths;
    for (const ClockEvent& e : events)
      if (e.kind == ClockEvent::IterationDone) depths.push_back(e.depth);
    return depths;
  }

 private:
  void record(ClockEvent::Kind kind, i32 depth, u32 move) {
    const SearchFrame& root = watched->frames[0];
    events.push_back({kind, root.alpha, root.beta, root.line.score, root.line.flag, depth, move});
  }
};

struct ListenerCall {
  PVLine line;
  i32 index;
  i32 depth;
};

class RecordingListener final : public PVListener {
 public:
  Engine* watched = nullptr;
  std::vector<ListenerCall> calls;
  std::function<void(const PVLine*, i32)> onCall;

  void onNewPV(const PVLine* pv, i32 multiPvIndex) override {
    calls.push_back({*pv, multiPvIndex, watched->depthReached});
    if (onCall) onCall(pv, multiPvIndex);
  }
};

inline std::string Text(u32 move) { return MoveToText(move); }

inline std::string NetworkPath() { return std::string(TERVIK_SOURCE_DIR) + "/nets/gen0-material.nnue"; }

// The engine with the recording protocol and clock; searches run on the test's thread while
// it holds thinkMutex, as the test tools do. Parameters go back to their defaults afterwards.
class SearchFixture : public ::testing::Test {
 protected:
  RecordingProtocol protocol;
  RecordingClock clock;
  RecordingListener listener;
  Engine* engine = nullptr;

  void SetUp() override {
    RegisterParams();
    material_only = 1;
    engine = new Engine(&protocol);
    protocol.engine = engine;
    protocol.multiPvCount = 1;
    engine->timeController = &clock;
    engine->useTablebases = 0;
    clock.watched = engine;
    listener.watched = engine;
    RegisterListener(engine, &listener);
    TT.clear();
    ClearHistory();
  }

  void TearDown() override {
    delete engine;
    RegisterParams();
  }

  // Loads the shipped network and evaluates with it.
  void UseNetwork() {
    NetworkLoadResult result = ReadNetwork(NetworkPath().c_str(), &Network);
    ASSERT_EQ(result.status, 0) << result.message;
    material_only = 0;
  }

  void SetPosition(const char* fen) {
    ASSERT_TRUE(SetFen(engine->board, fen)) << fen;
    engine->history->count = 0;
  }

  void Play(std::initializer_list<const char*> moves) {
    for (const char* text : moves) {
      u32 move = Mv(text);
      ASSERT_TRUE(IsLegalMove(engine->board, move)) << text;
      PushGameMove(engine->history, move);
    }
  }

  // A whole search of the current position with a fresh table and history.
  const PVLine& Run(i32 depth, u32 lines = 1) {
    TT.clear();
    ClearHistory();
    protocol.multiPvCount = lines;
    engine->maxDepth = depth;
    clock.start(0, 0, 0);
    std::lock_guard<std::mutex> think(engine->thinkMutex);
    SearchRoot(engine);
    return engine->frames[0].line;
  }

  // The node below the root after `rootMove`, searched as the root would search it.
  i32 SearchAfter(const char* rootMove, i32 depthPlies, i32 alpha = -MateScore,
                  i32 beta = MateScore) {
    LoadSearchParams();
    TT.clear();
    SearchFrame* root = &engine->frames[0];
    Board* board = engine->board;
    if (Network.loaded) RefreshAccumulator(board, &engine->accumulators[0]);
    GameHistory* history = engine->history;
    history->entries[history->count].before = *board;
    u32 move = Mv(rootMove);
    EXPECT_TRUE(IsLegalMove(board, move)) << rootMove;
    u8 mover = board->squares[MoveFrom(move)];
    u32 captureSquare = CaptureSquareOf(board, move, mover);
    MakeFrameMove(root, move, mover, board->squares[captureSquare], captureSquare);
    root->onPvPath = 0;
    i32 score = Search(&engine->frames[1], alpha, beta, 64 * depthPlies);
    UndoMove(history);
    return score;
  }
};

// Whether the side to move mates in at most `moves` of its moves, by trying everything.
inline bool MatesIn(Board* board, i32 moves) {
  MoveList attacks;
  attacks.count = 0;
  GenerateLegalMoves(board, &attacks);
  for (i32 i = 0; i < attacks.count; ++i) {
    Board before = *board;
    MakeMove(board, board->squares[MoveFrom(attacks.moves[i])], attacks.moves[i]);
    MoveList replies;
    replies.count = 0;
    GenerateLegalMoves(board, &replies);
    bool mates;
    if (replies.count == 0) {
      mates = InCheck(board);
    } else if (moves == 1) {
      mates = false;
    } else {
      mates = true;
      for (i32 j = 0; j < replies.count && mates; ++j) {
        Board afterAttack = *board;
        MakeMove(board, board->squares[MoveFrom(replies.moves[j])], replies.moves[j]);
        mates = MatesIn(board, moves - 1);
        *board = afterAttack;
      }
    }
    *board = before;
    if (mates) return true;
  }
  return false;
}

// Whether every reply to `move` leaves a mate in moves - 1 (the move itself mates when 1).
inline bool MoveMatesIn(Board* board, u32 move, i32 moves) {
  Board before = *board;
  MakeMove(board, board->squares[MoveFrom(move)], move);
  MoveList replies;
  replies.count = 0;
  GenerateLegalMoves(board, &replies);
  bool mates = replies.count == 0 ? InCheck(board) : moves > 1;
  for (i32 j = 0; j < replies.count && mates; ++j) {
    Board afterMove = *board;
    MakeMove(board, board->squares[MoveFrom(replies.moves[j])], replies.moves[j]);
    mates = MatesIn(board, moves - 1);
    *board = afterMove;
  }
  *board = before;
  return mates;
}

}  // namespace search_testing
