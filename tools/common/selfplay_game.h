// One self-play game for training data: a random opening, moves by the engine's own search at
// a node budget, the game ended by the rules or by adjudication, and the quiet positions kept
// as training records.
#pragma once

#include <vector>

#include "common/training_record.h"
#include "protocol/silent_protocol.h"
#include "search/time_controller.h"

struct Engine;
struct GameHistory;

// Answers time-up once the search has visited `budget` nodes (the frames' counters), so a move
// costs the same on a loaded machine as on an idle one.
class NodeBudgetController final : public TimeController {
 public:
  u64 budget = 5000;

  void setLevel(i32, i32) override {}
  void setTime(i32) override {}
  i64 getTime() override { return time; }
  void ponderHit() override {}
  void start(u32 lastMove, i32 movesToGo, i32 incrementMs) override;
  void setPredictedMove(u32, u32) override {}
  void setUnstable() override {}
  void setStable() override {}
  void iterationDone(i32, u32) override {}
  bool isTimeUp() override;
};

struct SelfPlaySettings {
  u64 nodes = 5000;         // node budget per move
  int randomPlies = 8;      // the opening: this many random legal plies, or one more (half the games)
  int openingLimit = 1000;  // openings the search scores beyond this (cp) are dropped
  int winScore = 2500;      // adjudicated a win when both sides' scores agree on this for...
  int winPlies = 4;         // ...this many plies in a row
  int drawScore = 10;       // adjudicated a draw when |score| stays at most this...
  int drawPlies = 10;       // ...for this many plies in a row...
  int drawFromPly = 80;     // ...once the game is this many plies long
  int maxPlies = 400;       // a draw when it gets this long
  int firstKeptPly = 16;    // earlier positions are not kept
};

enum class GameEnd : u8 {
  DroppedOpening,  // the opening had no legal move or scored beyond the limit: no game
  Mate,
  Stalemate,
  FiftyMoves,
  Repetition,
  Material,        // neither side can mate
  WinAdjudicated,  // a mate score or a decisive score on both sides
  DrawAdjudicated,
  MaxLength,
};

struct GameOutcome {
  GameEnd end = GameEnd::DroppedOpening;
  GameResult result = Draw;
  int plies = 0;         // plies played, the opening included
  int searched = 0;      // positions the search chose a move in
};

// The engine's worker must be idle and the caller must hold its thinkMutex; the engine's
// timeController must be `controller`. The table and the history are cleared first, so the game
// depends only on the seed, the settings and the network. Appends the kept records.
GameOutcome PlaySelfPlayGame(Engine* engine, NodeBudgetController* controller,
                             const SelfPlaySettings& settings, u64 seed,
                             std::vector<TrainingRecord>* records);

// True when the position and its search result make a training position: the side to move is
// not in check, the best move neither captures nor promotes, and the score is no mate score.
bool IsQuietTrainingPosition(const Board* board, u32 bestMove, i32 score);

// True when neither side has material to mate with (bare kings, or one knight or bishop alone).
bool IsInsufficientMaterial(const Board* board);

// True when the current position stood on the board twice before since the last capture or
// pawn move (the position before the history's first move included).
bool IsThreefoldRepetition(const GameHistory* history, const Board* board);

// The seed of game `index` of a run: every game of a run can be replayed alone.
u64 GameSeed(u64 runSeed, u64 index);

const char* GameEndName(GameEnd end);
