// UCI sessions across every search state: each command an interface may send next is answered
// at once, whatever the engine is doing, and every "go" gets exactly one "bestmove" (a ponder
// search that "position" abandons gets none). A "ponderhit" never waits for the search, and
// one sent when nothing is pondered changes nothing.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "protocol/uci_session.h"

namespace {

class UciStateSession : public UciSession {
 protected:
  // The bestmove lines among the lines read.
  static std::vector<std::string> BestMoves(const std::vector<EngineLine>& seen) {
    std::vector<std::string> moves;
    for (const EngineLine& line : seen)
      if (line.text.rfind("bestmove", 0) == 0) moves.push_back(BestMoveOf(line.text));
    return moves;
  }

  // Sends isready and expects readyok at once, with no bestmove before it.
  void expectReadyWithoutMove() {
    engine->sendLine("isready");
    std::vector<EngineLine> seen;
    ASSERT_TRUE(engine->readUntil("readyok", AnswerBoundMs, nullptr, &seen))
        << "readyok late or missing";
    EXPECT_TRUE(BestMoves(seen).empty()) << seen.front().text;
  }
};

// Every search below runs far longer than a test waits, unless something ends it.
struct State {
  const char* name;
  std::vector<const char*> commands;  // after the position
  bool searching;
  bool pondering;  // a "position" abandons it without a move
};

const State States[] = {
    {"idle", {}, false, false},
    {"go movetime", {"go movetime 600000"}, true, false},
    {"go wtime", {"go wtime 600000 btime 600000"}, true, false},
    {"go depth", {"go depth 40"}, true, false},
    {"go infinite", {"go infinite"}, true, false},
    {"go ponder", {"go ponder wtime 600000 btime 600000"}, true, true},
    {"after ponderhit", {"go ponder wtime 600000 btime 600000", "ponderhit"}, true, false},
};

enum class Next { IsReady, Stop, PonderHit, PositionAndGo, SetOption, NewGame, Quit };

const struct {
  Next next;
  const char* name;
} NextCommands[] = {
    {Next::IsReady, "isready"},   {Next::Stop, "stop"},
    {Next::PonderHit, "ponderhit"}, {Next::PositionAndGo, "position and go"},
    {Next::SetOption, "setoption"}, {Next::NewGame, "ucinewgame"},
    {Next::Quit, "quit"},
};

const char Game[] = "position startpos moves e2e4 e7e5";

TEST_F(UciStateSession, EveryCommandIsAnsweredAtOnceInEverySearchState) {
  GameBoard game;
  ASSERT_TRUE(game.play("e2e4"));
  ASSERT_TRUE(game.play("e7e5"));
  GameBoard nextGame = game;
  ASSERT_TRUE(nextGame.play("g1f3"));
  bool quit = false;
  for (const State& state : States) {
    for (const auto& next : NextCommands) {
      SCOPED_TRACE(std::string(state.name) + ", then " + next.name);
      if (quit) start();
      quit = false;
      engine->sendLine(Game);
      for (const char* command : state.commands) engine->sendLine(command);
      // Let the search get under way: nothing may end it meanwhile.
      for (const EngineLine& line : engine->drain(200))
        ASSERT_NE(line.text.rfind("bestmove", 0), 0u) << line.text;

      bool stillSearching = state.searching;
      switch (next.next) {
        case Next::IsReady:
          expectReadyWithoutMove();
          break;
        case Next::Stop:
          engine->sendLine("stop");
          if (state.searching) {
            ASSERT_TRUE(game.answers(BestMoveOf(bestMove(AnswerBoundMs).text)));
            stillSearching = false;
          }
          break;
        case Next::PonderHit:
          // Pondering or not, the search goes on: an analysis until "stop", a depth to its depth.
          engine->sendLine("ponderhit");
          expectReadyWithoutMove();
          break;
        case Next::PositionAndGo: {
          engine->sendLine("position startpos moves e2e4 e7e5 g1f3");
          engine->sendLine("go depth 1");
          const std::size_t expected = state.searching && !state.pondering ? 2 : 1;
          std::vector<std::string> moves;
          while (moves.size() < expected && !HasFailure()) {
            std::vector<EngineLine> seen;
            bestMove(AnswerBoundMs + 5000, &seen);
            for (const std::string& move : BestMoves(seen)) moves.push_back(move);
          }
          ASSERT_EQ(moves.size(), expected);
          if (expected == 2) {
            EXPECT_TRUE(game.answers(moves[0])) << moves[0];
          }
          EXPECT_TRUE(nextGame.answers(moves.back())) << moves.back();
          stillSearching = false;
          break;
        }
        case Next::SetOption:
          // Hash waits for the search's end; resign is stored at once.
          engine->sendLine("setoption name Hash value 8");
          engine->sendLine("setoption name resign value 500");
          expectReadyWithoutMove();
          break;
        case Next::NewGame:
          engine->sendLine("ucinewgame");
          expectReadyWithoutMove();
          break;
        case Next::Quit: {
          const i64 sent = DriverNowMs();
          engine->sendLine("quit");
          EXPECT_EQ(engine->waitForExit(AnswerBoundMs + 5000), 0);
          EXPECT_LE(DriverNowMs() - sent, AnswerBoundMs);
          quit = true;
          continue;
        }
      }
      if (HasFailure()) return;
      // The search is still on: "stop" ends it with its one move.
      if (stillSearching) {
        engine->sendLine("stop");
        ASSERT_TRUE(game.answers(BestMoveOf(bestMove(AnswerBoundMs).text)));
      }
      expectNoMoreBestMoves();
    }
  }
}

}  // namespace
