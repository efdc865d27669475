// UCI sessions on what a search reports and when: every move with the line it comes from (a
// mate on the hundredth half-move among them), an analysis that waits for "stop", every "go"
// on the interface's position (also one sent while a search runs), and "go depth" alone
// searched to its depth.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "protocol/uci_session.h"

namespace {

using UciSearchSession = UciSession;

const char MateInOne[] = "6k1/5ppp/8/8/8/8/8/R5K1 w - - 0 1";
const char BareKings[] = "8/8/8/4k3/8/8/8/4K3 w - - 0 1";

bool StartsWith(const std::string& text, const std::string& prefix) {
  return text.rfind(prefix, 0) == 0;
}

// The first move of an info line's pv.
std::string PvMoveOf(const std::string& line) {
  std::size_t at = line.find(" pv ");
  if (at == std::string::npos) return "";
  return BestMoveOf(line.substr(at + 1));
}

// The number after the word in an info line, -1 without it.
int NumberAfter(const std::string& line, const std::string& word) {
  std::size_t at = line.find(" " + word + " ");
  return at == std::string::npos ? -1 : std::atoi(line.c_str() + at + word.size() + 2);
}

TEST_F(UciSearchSession, EveryMoveComesWithTheScoreItWasChosenBy) {
  struct Case {
    const char* fen;
    const char* go;
    int lines;          // score lines of the last report: 1, or the MultiPV count
    const char* score;  // expected in the best line; empty: any
  } cases[] = {
      {MateInOne, "go depth 5", 1, "score mate 1"},
      {MateInOne, "go movetime 200", 1, "score mate 1"},
      {StartFen, "go wtime 100 btime 100", 1, ""},
      {StartFen, "go depth 2", 1, ""},
      {MateInOne, "go depth 3", 3, "score mate 1"},
      // A mate on the hundredth half-move ends the game before the fifty-move rule does.
      {"7k/8/6K1/8/8/8/8/R7 w - - 99 120", "go movetime 500", 1, "score mate 1"},
      {"7k/8/5K2/8/8/8/8/R7 w - - 97 120", "go depth 8", 1, "score mate 2"},
      {"7k/8/5K2/8/8/8/8/R7 w - - 97 120", "go depth 6", 2, "score mate 2"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.fen) + " " + c.go);
    engine->sendLine("setoption name MultiPV value " + std::to_string(c.lines));
    engine->sendLine(std::string("position fen ") + c.fen);
    engine->sendLine(c.go);
    std::vector<EngineLine> seen;
    std::string best = BestMoveOf(bestMove(20000, &seen).text);
    ASSERT_TRUE(GameBoard(c.fen).answers(best)) << best;
    // The last line of each index before the move.
    std::vector<std::string> last(static_cast<std::size_t>(c.lines) + 1);
    for (const EngineLine& line : seen) {
      if (!StartsWith(line.text, "info ") || line.text.find(" score ") == std::string::npos)
        continue;
      int index = c.lines > 1 ? NumberAfter(line.text, "multipv") : 1;
      ASSERT_GE(index, 1) << line.text;
      ASSERT_LE(index, c.lines) << line.text;
      last[static_cast<std::size_t>(index)] = line.text;
    }
    for (int index = 1; index <= c.lines; ++index)
      EXPECT_FALSE(last[static_cast<std::size_t>(index)].empty()) << "no score line " << index;
    EXPECT_EQ(PvMoveOf(last[1]), best) << last[1];
    EXPECT_NE(last[1].find(c.score), std::string::npos) << last[1];
    expectNoMoreBestMoves();
  }
}

TEST_F(UciSearchSession, AnAnalysisThatEndsByItselfHoldsItsMoveUntilStop) {
  for (const char* fen : {MateInOne, BareKings}) {
    for (const char* go : {"go infinite", "go mate 1"}) {
      SCOPED_TRACE(std::string(fen) + " " + go);
      engine->sendLine(std::string("position fen ") + fen);
      engine->sendLine(go);
      for (const EngineLine& line : engine->drain(500))
        ASSERT_FALSE(StartsWith(line.text, "bestmove")) << line.text;
      ready();
      engine->sendLine("stop");
      EXPECT_TRUE(GameBoard(fen).answers(BestMoveOf(bestMove(AnswerBoundMs).text)));
      expectNoMoreBestMoves();
    }
  }
  // An analysis the interface leaves for a new position still answers, once.
  engine->sendLine(std::string("position fen ") + MateInOne);
  engine->sendLine("go infinite");
  engine->drain(200);
  engine->sendLine("position startpos");
  EXPECT_EQ(bestMove(AnswerBoundMs).text, "bestmove a1a8");
  expectNoMoreBestMoves();
  // And "quit" ends a held analysis at once.
  engine->sendLine(std::string("position fen ") + BareKings);
  engine->sendLine("go infinite");
  engine->drain(200);
  engine->sendLine("quit");
  EXPECT_EQ(engine->waitForExit(AnswerBoundMs + 5000), 0);
}

TEST_F(UciSearchSession, EveryGoSearchesThePositionOfTheLastPositionCommand) {
  GameBoard expected;
  ASSERT_TRUE(expected.play("e2e4"));
  ASSERT_TRUE(expected.play("e7e5"));
  engine->sendLine("position startpos moves e2e4 e7e5");
  // The engine plays each of its moves on its own game; none may count for the next go.
  for (const char* go : {"go depth 5", "go depth 5", "go movetime 50", "go wtime 1000 btime 1000",
                         "go depth 1"}) {
    SCOPED_TRACE(go);
    engine->sendLine(go);
    std::string best = BestMoveOf(bestMove(20000).text);
    ASSERT_TRUE(expected.answers(best)) << best;
  }
  // A position without moves after them starts from the same game.
  engine->sendLine("position moves");
  engine->sendLine("go depth 2");
  EXPECT_TRUE(expected.answers(BestMoveOf(bestMove(20000).text)));
}

TEST_F(UciSearchSession, AGoDuringASearchEndsItAndSearchesTheLastPosition) {
  // Before the fix the second search ran after the first, on the position after its move.
  engine->sendLine("position startpos");
  engine->sendLine("go movetime 500");
  engine->drain(100);
  engine->sendLine("go depth 3");
  for (int i = 0; i < 2; ++i) {
    SCOPED_TRACE(i);
    EXPECT_TRUE(GameBoard().answers(BestMoveOf(bestMove(20000).text)));
  }
  expectNoMoreBestMoves();
  // A held analysis move is written too, before the next search's.
  engine->sendLine(std::string("position fen ") + MateInOne);
  engine->sendLine("go infinite");
  engine->drain(300);
  engine->sendLine("go depth 2");
  EXPECT_EQ(bestMove(AnswerBoundMs).text, "bestmove a1a8");
  EXPECT_TRUE(GameBoard(MateInOne).answers(BestMoveOf(bestMove(20000).text)));
  expectNoMoreBestMoves();
}

TEST_F(UciSearchSession, GoStopPositionGoSentBackToBackAnswerEachGoOnItsPosition) {
  // An analysis interface sends these without waiting for the bestmoves; the next round's
  // first go often arrives while the last round's "go depth 2" still runs.
  const std::string round =
      "go movestogo 1 btime 0 wtime 30 btime 1\nstop\nposition startpos moves e2e4\n"
      "go depth 2\nisready\n";
  const int rounds = 200 / Rounds;
  std::vector<std::string> moves;
  auto collect = [&](const std::vector<EngineLine>& seen) {
    for (const EngineLine& line : seen)
      if (StartsWith(line.text, "bestmove")) moves.push_back(BestMoveOf(line.text));
  };
  for (int i = 0; i < rounds; ++i) {
    engine->send(round);
    std::vector<EngineLine> seen;
    ASSERT_TRUE(engine->readUntil("readyok", 20000, nullptr, &seen)) << i << engine->errorOutput();
    collect(seen);
  }
  while (moves.size() < 2 * static_cast<std::size_t>(rounds)) {
    std::vector<EngineLine> seen;
    bestMove(20000, &seen);
    if (HasFailure()) break;
    collect(seen);
  }
  expectNoMoreBestMoves();
  ASSERT_EQ(moves.size(), 2 * static_cast<std::size_t>(rounds)) << "one bestmove per go";
  // The first go searches the start position, every later one the position after e2e4.
  GameBoard afterE4;
  ASSERT_TRUE(afterE4.play("e2e4"));
  EXPECT_TRUE(GameBoard().answers(moves[0])) << moves[0];
  for (std::size_t i = 1; i < moves.size(); ++i)
    ASSERT_TRUE(afterE4.answers(moves[i])) << "go " << i << ": " << moves[i];
}

TEST_F(UciSearchSession, GoDepthAloneSearchesToThatDepth) {
  // Before the fix an old clock cut this at depth 5 within milliseconds.
  engine->sendLine("position startpos");
  engine->sendLine("go depth 8");
  std::vector<EngineLine> seen;
  bestMove(60000, &seen);
  ASSERT_GE(seen.size(), 2u);
  const std::string& summary = seen[seen.size() - 2].text;
  EXPECT_EQ(NumberAfter(summary, "depth"), 8) << summary;
  // "stop" still ends it.
  engine->sendLine("position startpos");
  engine->sendLine("go depth 40");
  engine->drain(300);
  engine->sendLine("stop");
  EXPECT_TRUE(GameBoard().answers(BestMoveOf(bestMove(AnswerBoundMs).text)));
  expectNoMoreBestMoves();
}

}  // namespace
