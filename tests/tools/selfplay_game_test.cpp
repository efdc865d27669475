// Self-play games for training data: the node budget, the filters, repetition, and whole games
// whose records must be what the trainer expects.
#include <gtest/gtest.h>

#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "board/attack_map.h"
#include "board/fen.h"
#include "board/movegen.h"
#include "board/notation.h"
#include "common/selfplay_game.h"
#include "config/params.h"
#include "eval/network.h"
#include "search/engine.h"
#include "search/game_history.h"
#include "search/history_table.h"
#include "search/root_search.h"
#include "search/search.h"
#include "search/transposition_table.h"

namespace {

u32 ParseMove(Board* board, const char* text) {
  MoveList legal{};
  GenerateLegalMoves(board, &legal);
  for (int i = 0; i < legal.count; ++i)
    if (MoveToText(legal.moves[i]) == text) return legal.moves[i];
  ADD_FAILURE() << text << " is not legal in " << GetFen(board);
  return 0;
}

class SelfPlayTest : public ::testing::Test {
 protected:
  SilentProtocol protocol;
  NodeBudgetController controller;
  Engine* engine = nullptr;

  void SetUp() override {
    RegisterParams();
    const std::string path = std::string(TERVIK_SOURCE_DIR) + "/nets/gen0-material.nnue";
    NetworkLoadResult loaded = ReadNetwork(path.c_str(), &Network);
    ASSERT_EQ(loaded.status, 0) << loaded.message;
    engine = new Engine(&protocol);
    protocol.engine = engine;
    protocol.multiPvCount = 1;
    engine->useTablebases = 0;
  }
  void TearDown() override { delete engine; }

  std::vector<TrainingRecord> Play(const SelfPlaySettings& settings, u64 seed, GameOutcome* outcome) {
    std::vector<TrainingRecord> records;
    std::lock_guard<std::mutex> think(engine->thinkMutex);
    *outcome = PlaySelfPlayGame(engine, &controller, settings, seed, &records);
    return records;
  }
};

TEST_F(SelfPlayTest, TheSearchStopsAtTheNodeBudget) {
  for (u64 budget : {500u, 3000u}) {
    ASSERT_TRUE(SetFen(engine->board, "r1bqkbnr/pppp1ppp/2n5/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R w KQkq - 2 3"));
    engine->history->count = 0;
    TT.clear();
    ClearHistory();
    controller.engine = engine;
    controller.budget = budget;
    engine->timeController = &controller;
    engine->maxDepth = DefaultMaxDepth;
    controller.start(0, 0, 0);
    {
      std::lock_guard<std::mutex> think(engine->thinkMutex);
      SearchRoot(engine);
    }
    const u64 nodes = SearchNodes(engine);
    EXPECT_GE(nodes, budget);
    EXPECT_LT(nodes, budget + 200) << "the budget is polled every 64 nodes";
    EXPECT_GT(engine->frames[0].line.length, 0);
  }
}

TEST(SelfPlayFilter, QuietPositionsOnly) {
  struct Case {
    const char* fen;
    const char* move;
    i32 score;
    bool quiet;
  } cases[] = {
      {"rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1", "e2e4", 20, true},
      {"4k3/8/8/8/8/8/8/4K2R w K - 0 1", "e1g1", 500, true},                     // castling
      {"4k3/8/8/3p4/4P3/8/8/4K3 w - - 0 1", "e4d5", 100, false},                  // capture
      {"4k3/8/8/3pP3/8/8/8/4K3 w - d6 0 1", "e5d6", 100, false},                  // en passant
      {"8/4P1k1/8/8/8/8/8/4K3 w - - 0 1", "e7e8q", 900, false},                   // promotion
      {"8/4P1k1/8/8/8/8/8/4K3 w - - 0 1", "e7e8n", 300, false},                   // under-promotion
      {"4k3/8/8/8/8/8/4r3/4K3 w - - 0 1", "e1f1", -500, false},                   // in check
      {"6k1/5ppp/8/8/8/8/8/R3K3 w Q - 0 1", "a1a7", MateScore - 3, false},       // mate score
      {"6k1/5ppp/8/8/8/8/8/R3K3 b Q - 0 1", "g8h8", -(MateScore - 4), false},    // mated
      {"6k1/5ppp/8/8/8/8/8/R3K3 w Q - 0 1", "a1a7", MateBandScore - 1, true},    // just below
  };
  Board board;
  for (const Case& c : cases) {
    ASSERT_TRUE(SetFen(&board, c.fen)) << c.fen;
    EXPECT_EQ(IsQuietTrainingPosition(&board, ParseMove(&board, c.move), c.score), c.quiet)
        << c.fen << " " << c.move;
  }
}

TEST(SelfPlayFilter, InsufficientMaterial) {
  struct Case {
    const char* fen;
    bool drawn;
  } cases[] = {
      {"4k3/8/8/8/8/8/8/4K3 w - - 0 1", true},
      {"4k3/8/8/8/8/8/8/4KN2 w - - 0 1", true},
      {"4k3/8/8/8/8/8/8/4Kb2 w - - 0 1", true},
      {"4k3/8/8/8/8/8/8/3NKN2 w - - 0 1", false},
      {"4k3/8/8/8/8/8/8/4KB1b w - - 0 1", false},
      {"4k3/8/8/8/8/8/4P3/4K3 w - - 0 1", false},
      {"4k3/8/8/8/8/8/8/4K2r w - - 0 1", false},
  };
  Board board;
  for (const Case& c : cases) {
    ASSERT_TRUE(SetFen(&board, c.fen)) << c.fen;
    EXPECT_EQ(IsInsufficientMaterial(&board), c.drawn) << c.fen;
  }
}

TEST_F(SelfPlayTest, ThreefoldCountsThePositionBeforeTheFirstMove) {
  struct Case {
    const char* start;
    std::vector<const char*> moves;
    bool threefold;
  } cases[] = {
      {StartFen, {"g1f3", "g8f6", "f3g1", "f6g8"}, false},
      {StartFen, {"g1f3", "g8f6", "f3g1", "f6g8", "g1f3", "g8f6", "f3g1", "f6g8"}, true},
      {StartFen, {"g1f3", "g8f6", "f3g1", "f6g8", "g1f3", "g8f6", "f3g1"}, false},
      // Three times after the first move: the start position is not one of them.
      {StartFen,
       {"g1f3", "g8f6", "f3g1", "f6g8", "g1f3", "g8f6", "f3g1", "f6g8", "g1f3"}, true},
      // After a pawn move the counting starts again from the position it made.
      {StartFen, {"g1f3", "g8f6", "f3g1", "f6g8", "e2e3", "b8c6", "g1f3", "c6b8", "f3g1"}, false},
      {StartFen, {"g1f3", "g8f6", "f3g1", "f6g8", "e2e3", "b8c6", "g1f3", "c6b8", "f3g1", "b8c6",
                  "g1f3", "c6b8", "f3g1"}, true},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(SetFen(engine->board, c.start));
    engine->history->count = 0;
    for (const char* text : c.moves) PushGameMove(engine->history, ParseMove(engine->board, text));
    EXPECT_EQ(IsThreefoldRepetition(engine->history, engine->board), c.threefold)
        << c.moves.size() << " moves";
  }
}

TEST_F(SelfPlayTest, GamesGiveConsistentQuietRecords) {
  SelfPlaySettings settings;
  settings.nodes = 400;
  int played = 0;
  int clearLeads = 0;
  int agreeing = 0;
  for (u64 game = 0; game < 6; ++game) {
    GameOutcome outcome;
    const std::vector<TrainingRecord> records = Play(settings, GameSeed(3, game), &outcome);
    if (outcome.end == GameEnd::DroppedOpening) {
      EXPECT_TRUE(records.empty());
      continue;
    }
    ++played;
    EXPECT_GE(outcome.plies, settings.randomPlies);
    EXPECT_LE(outcome.plies, settings.maxPlies);
    if (outcome.end == GameEnd::Mate) {
      EXPECT_NE(outcome.result, Draw);
    }
    if (outcome.end == GameEnd::Stalemate || outcome.end == GameEnd::Repetition ||
        outcome.end == GameEnd::FiftyMoves || outcome.end == GameEnd::Material) {
      EXPECT_EQ(outcome.result, Draw);
    }
    for (const TrainingRecord& record : records) {
      TrainingPosition position;
      ASSERT_TRUE(DecodeTrainingRecord(record, &position));
      EXPECT_EQ(position.result, outcome.result);
      EXPECT_GE(position.spare, settings.firstKeptPly);
      EXPECT_LT(std::abs(position.score), MateBandScore);
      Board board;
      ASSERT_TRUE(TrainingPositionToBoard(position, &board));
      EXPECT_FALSE(InCheck(&board)) << TrainingPositionFen(position);
      int whiteLead = 0;
      for (u8 piece : position.squares)
        if (piece != Empty) whiteLead += ColourOf(piece) == White ? PieceValue[piece] : -PieceValue[piece];
      if (std::abs(whiteLead) >= 500) {
        ++clearLeads;
        if ((whiteLead > 0) == (position.score > 0)) ++agreeing;
      }
      if (position.spare < 255) {
        EXPECT_EQ(static_cast<int>(position.spare) % 2, static_cast<int>(position.sideToMove));
      }
    }
  }
  EXPECT_GT(played, 0);
  // Scores are White's: with the material network a clear material lead and the score agree.
  EXPECT_GT(clearLeads, 20);
  EXPECT_GE(agreeing, clearLeads * 9 / 10);
}

TEST_F(SelfPlayTest, AGameDependsOnlyOnItsSeed) {
  SelfPlaySettings settings;
  settings.nodes = 300;
  settings.maxPlies = 120;
  GameOutcome a, b, c;
  const std::vector<TrainingRecord> first = Play(settings, 11, &a);
  const std::vector<TrainingRecord> other = Play(settings, 12, &c);
  const std::vector<TrainingRecord> again = Play(settings, 11, &b);
  ASSERT_EQ(first.size(), again.size());
  EXPECT_EQ(a.plies, b.plies);
  EXPECT_EQ(a.end, b.end);
  EXPECT_EQ(std::memcmp(first.data(), again.data(), first.size() * sizeof(TrainingRecord)), 0);
  EXPECT_FALSE(first.size() == other.size() && a.plies == c.plies &&
               std::memcmp(first.data(), other.data(), first.size() * sizeof(TrainingRecord)) == 0);
}

TEST_F(SelfPlayTest, OpeningsScoredBeyondTheLimitAreDropped) {
  SelfPlaySettings settings;
  settings.nodes = 300;
  settings.openingLimit = -1;  // every score is beyond it
  for (u64 seed = 0; seed < 3; ++seed) {
    GameOutcome outcome;
    EXPECT_TRUE(Play(settings, seed, &outcome).empty());
    EXPECT_EQ(outcome.end, GameEnd::DroppedOpening);
  }
}

}  // namespace
