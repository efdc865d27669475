// XBoard sessions with the real program that stop searches: analysis with moves, undo and
// "exit", analysis after "st" and the game's time per move after it, pondering with hit and
// miss, a "level" that arrives during a ponder search, commands that stop the engine's own
// search or its ponder search (an answer at once, and the game as the interface has it), and
// "quit" mid-search.
#include <sstream>
#include <thread>

#include "protocol/xboard_session.h"

namespace {

using XBoardPonderSession = XBoardSessionBase;

// The first move of a thinking line ("depth score time nodes moves...").
std::string FirstMoveOf(const std::string& line) {
  std::istringstream words(line);
  std::string word;
  for (int i = 0; i < 5 && words >> word; ++i) {
  }
  return word;
}

TEST_F(XBoardPonderSession, AnalysisFollowsTheMovesUntilExit) {
  GameBoard game;
  send("analyze");
  for (const char* step : {"", "e2e4", "e7e5", "undo", "g8f6"}) {
    SCOPED_TRACE(step);
    if (*step) send(step);
    if (std::string(step) == "undo") {
      game = GameBoard();
      game.play("e2e4");
    } else if (*step) {
      ASSERT_TRUE(game.play(step));
    }
    // Lines after the answer to a ping belong to the analysis of the new position.
    for (const std::string& line : written()) EXPECT_TRUE(IsThinkingLine(line)) << line;
    for (int lines = 0; lines < 3; ++lines) {
      EngineLine line;
      ASSERT_TRUE(engine->readLine(&line, SearchBoundMs));
      ASSERT_TRUE(IsThinkingLine(line.text)) << line.text;
      EXPECT_TRUE(game.legal(FirstMoveOf(line.text))) << line.text;
    }
  }
  send("exit");
  written();
  for (const EngineLine& line : engine->drain(300)) ADD_FAILURE() << "after exit: " << line.text;
  // Out of analysis the engine plays again when asked, also straight from an analysis.
  send("go");
  ASSERT_TRUE(game.play(move()));
  send("force");
  send("analyze");
  send("go");
  ASSERT_TRUE(game.play(move())) << "go ends the analysis";
}

TEST_F(XBoardPonderSession, AnalysisHasNoTimeLimitAndLeavesTheGamesTimePerMoveAsItWas) {
  // Time limits sent before or during the analysis are the game's: they neither end the
  // analysis nor are changed by it.
  struct Case {
    const char* before;
    const char* during;
    i64 perMoveMs;  // the game's limit afterwards
  } cases[] = {{"st 2", "", 2000}, {"level 0 60 0", "st 2", 2000}, {"st 4", "time 150", 1500}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.before) + ", " + c.during);
    // A fresh engine: with the table of an earlier analysis the search would soon be deep
    // enough for its next line to take longer than any bound.
    start();
    send("new");
    send(c.before);
    send("post");
    send("analyze");
    i64 started = DriverNowMs();
    if (*c.during) send(c.during);
    // Well past either limit the analysis still reports.
    EngineLine line{"", 0};
    while (line.atMs - started < 2500) {
      ASSERT_TRUE(engine->readLine(&line, SearchBoundMs)) << "the analysis stopped";
      ASSERT_TRUE(IsThinkingLine(line.text)) << line.text;
    }
    send("exit");
    written();
    i64 sent = DriverNowMs();
    send("go");
    move();
    EXPECT_GE(lastMoveAtMs - sent, c.perMoveMs * 3 / 5);
    EXPECT_LE(lastMoveAtMs - sent, c.perMoveMs + AnswerBoundMs);
  }
}

// The reply the engine expects (and ponders on), or nothing.
std::string Hint(XBoardSessionBase* session) {
  session->send("hint");
  for (const std::string& line : session->replies())
    if (StartsWith(line, "Hint: ")) return line.substr(6);
  return "";
}

TEST_F(XBoardPonderSession, PonderHitsAndMissesAnswerLegalMoves) {
  for (const char* limit : {"sd 5", "level 0 0:20 0"}) {
    SCOPED_TRACE(limit);
    send("new");
    send("hard");
    send(limit);
    GameBoard game;
    std::string text = "e2e4";
    int hits = 0, misses = 0;
    for (int moveNumber = 0; moveNumber < 12; ++moveNumber) {
      ASSERT_TRUE(game.play(text)) << text;
      send("time 2000");
      send("otim 2000");
      send(text);
      ASSERT_TRUE(game.play(move())) << "the engine's move";
      std::vector<std::string> legal = game.moves();
      if (legal.empty()) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
      std::string expected = Hint(this);
      // Every second move the expected reply, the others some other move.
      text = legal[static_cast<std::size_t>(moveNumber) % legal.size()];
      if (moveNumber % 2 == 0 && !expected.empty()) text = expected;
      if (!expected.empty()) ++(text == expected ? hits : misses);
    }
    EXPECT_GT(hits, 0);
    EXPECT_GT(misses, 0);
    send("force");
    EXPECT_TRUE(replies().empty());
  }
}

TEST_F(XBoardPonderSession, ALevelSentDuringAPonderSearchGovernsTheSearchAfterTheHit) {
  send("new");
  send("hard");
  send("st 2");
  send("e2e4");
  GameBoard game;
  game.play("e2e4");
  ASSERT_TRUE(game.play(move()));
  // The ponder search may now take 30 s, as the engine's own search would under "st".
  send("time 3000");
  std::string text = Hint(this);
  ASSERT_FALSE(text.empty());
  // 3 s for the rest of the game: the engine's later moves must keep within its clock, whether
  // they are searched afresh or come from a ponder search, and "time" reaches it every move.
  send("level 0 0:03 0");
  i64 clockMs = 3000;
  for (int moveNumber = 0; moveNumber < 4; ++moveNumber) {
    SCOPED_TRACE(moveNumber);
    ASSERT_TRUE(game.play(text)) << text;
    send("time " + std::to_string(clockMs / 10));
    send("otim 300");
    i64 sent = DriverNowMs();
    send(text);
    ASSERT_TRUE(game.play(move(clockMs)));
    clockMs -= lastMoveAtMs - sent;
    ASSERT_GT(clockMs, 0) << "the engine's clock ran out";
    std::vector<std::string> legal = game.moves();
    if (legal.empty()) break;
    text = Hint(this);
    if (text.empty()) text = legal.front();
  }
}

TEST_F(XBoardPonderSession, CommandsDuringTheEnginesOwnSearchGetItsMoveAtOnce) {
  // A move on the engine's turn is refused; a command that changes the game gets the move.
  // Nothing learned: a learned reply would be a book move, played at once.
  start("learn_book=false\n");
  for (const char* command : {"?", "result 1-0 {White wins}", "force", "new", "easy", "undo"}) {
    SCOPED_TRACE(command);
    send("new");
    send("hard");
    send("level 0 60 0");
    send("time 600000");
    send("e2e4");
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    send("d2d4");
    EXPECT_EQ(replies(), std::vector<std::string>{"Error (it's not your turn to move ): d2d4"});
    i64 sent = DriverNowMs();
    send(command);
    move(AnswerBoundMs);
    EXPECT_LE(lastMoveAtMs - sent, AnswerBoundMs);
    EXPECT_TRUE(replies().empty());
  }
}

TEST_F(XBoardPonderSession, CommandsDuringAPonderSearchLeaveTheGameAsTheInterfaceHasIt) {
  struct Case {
    const char* command;
    bool undo;    // takes back the engine's move
    bool toggle;  // hands the move to the other side
  } cases[] = {{"easy", false, false}, {"force", false, false}, {"sd 4", false, false},
               {"st 1", false, false}, {"white", false, false}, {"black", false, true},
               {"undo", true, false},  {"hard", false, false},  {"?", false, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.command);
    send("new");
    send("hard");
    send("sd 4");
    send("e2e4");
    GameBoard game;
    game.play("e2e4");
    GameBoard beforeReply = game;
    ASSERT_TRUE(game.play(move()));
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    i64 sent = DriverNowMs();
    send(c.command);
    EXPECT_TRUE(replies().empty());
    EXPECT_LE(DriverNowMs() - sent, AnswerBoundMs);
    if (c.undo) game = beforeReply;
    if (c.toggle) game.board.gamePly += 1;
    send("go");
    EXPECT_TRUE(game.legal(move())) << "the engine moves in the interface's position";
  }
}

TEST_F(XBoardPonderSession, QuitEndsAtOnceDuringASearchAndDuringPondering) {
  for (bool ponder : {false, true}) {
    SCOPED_TRACE(ponder ? "pondering" : "searching");
    start();
    send("new");
    if (ponder) {
      send("hard");
      send("sd 6");
    } else {
      send("level 0 60 0");
      send("time 600000");
    }
    send("e2e4");
    if (ponder) move();
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    i64 sent = DriverNowMs();
    send("quit");
    EXPECT_EQ(engine->waitForExit(AnswerBoundMs + 2000), 0);
    EXPECT_LE(DriverNowMs() - sent, AnswerBoundMs);
  }
}

}  // namespace
