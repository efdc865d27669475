// Move lists of "position ... moves" and XBoard played on the engine's game.
#include <gtest/gtest.h>

#include "protocol/apply_moves.h"
#include "search/stub_protocol.h"

namespace {

TEST(ApplyMoves, PlaysEveryLegalTokenAndReportsTheRest) {
  const char* const Start = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1";
  const char* const Promotion = "8/4P1k1/8/8/8/8/8/4K3 w - - 0 1";
  struct Case {
    const char* fen;
    std::string moves;
    std::vector<std::string> played;
    std::vector<std::string> skipped;
  } cases[] = {
      {Start, "e2e4 e7e5", {"e2e4", "e7e5"}, {}},
      {Start, "e2e4 e7e5 ", {"e2e4", "e7e5"}, {}},
      {Start, "e2e4 e7e5\r", {"e2e4", "e7e5"}, {}},
      {Start, "e2e4 e7e5\r\n", {"e2e4", "e7e5"}, {}},
      {Start, "e2e4\te7e5", {"e2e4", "e7e5"}, {}},
      {Start, "  e2e4   e7e5  ", {"e2e4", "e7e5"}, {}},
      {Start, "e7e5", {}, {"e7e5"}},
      {Start, "e2e4 e2e4", {"e2e4"}, {"e2e4"}},
      {Start, "e2e4 xyz e7e5", {"e2e4", "e7e5"}, {"xyz"}},
      {Start, "E2E4 e2e4", {"e2e4"}, {"E2E4"}},
      {Start, "e2e5 e2e4", {"e2e4"}, {"e2e5"}},
      {Start, "e1g1", {}, {"e1g1"}},
      {Start, "", {}, {}},
      {Start, " \r", {}, {}},
      {Start, "g1f3 g8f6 f3g1 f6g8 g1f3", {"g1f3", "g8f6", "f3g1", "f6g8", "g1f3"}, {}},
      {Promotion, "e7e8q", {"e7e8q"}, {}},
      {Promotion, "e7e8n", {"e7e8n"}, {}},
      {Promotion, "e7e8 e7e8Q e7e8k", {}, {"e7e8", "e7e8Q", "e7e8k"}},
  };
  EngineFixture f;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.moves);
    ASSERT_TRUE(f.setPosition(c.fen));
    std::lock_guard<std::mutex> lock(f.engine->thinkMutex);
    u64 before = f.engine->board->key;
    std::vector<std::string> skipped = ApplyMoves(&f.protocol, c.moves);
    EXPECT_EQ(skipped, c.skipped);
    GameHistory* history = f.engine->history;
    ASSERT_EQ(history->count, c.played.size());
    for (std::size_t i = 0; i < c.played.size(); ++i) {
      EXPECT_EQ(MoveToText(history->entries[i].move), c.played[i]);
      EXPECT_EQ(history->entries[i].engineMove, 0);
    }
    if (c.played.empty()) {
      EXPECT_EQ(f.engine->board->key, before);
    } else {
      EXPECT_EQ(f.engine->board->key, history->entries[history->count - 1].key);
    }
  }
}

}  // namespace
