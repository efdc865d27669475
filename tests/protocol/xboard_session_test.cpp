// XBoard sessions with the real program: the handshake and the replies an interface gets,
// games under "level" with "time"/"otim", under "st" and under "sd", force mode with "go" for
// either colour, the moves it cannot play in force mode and in an analysis, "white" and "black"
// that would leave a king en prise, undo and remove, setboard, the games that end in mate,
// stalemate or a claim, the console's output, SIGINT, and the end of input.
#include <csignal>
#include <random>
#include <thread>

#include "book/book.h"
#include "protocol/xboard_session.h"

namespace {

using XBoardSession = XBoardSessionBase;

TEST_F(XBoardSession, RepliesOfTheHandshakeAndOfCommandsItDoesNotKnow) {
  struct Case {
    std::string line;
    std::vector<std::string> replies;
  } cases[] = {
      {"protover 3", {}},
      {"accepted setboard", {}},
      {"rejected colors", {}},
      {"computer", {"Error (unknown command): computer"}},
      {"name Someone", {"Error (unknown command): name"}},
      {"perft 1", {"Error (unknown command): perft"}},
      {"variant crazyhouse", {"Error (Variant not supported): crazyhouse"}},
      {"", {"Error (unknown command): "}},
      {"ping 9\r", {"pong 9"}},
      {"random", {}},
      {"draw", {}},
      {"hard", {}},
      {"easy", {}},
      {"nopost", {}},
      {"post", {}},
      {"level 40 5 0", {}},
      {"time 30000", {}},
      {"otim 30000", {}},
      {"e7e5", {"Illegal move: e7e5"}},  // force mode from the start: Black's move
      {"new", {}},
      {"e2e5", {"Illegal move: e2e5"}},
      {"hint", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    send(c.line);
    EXPECT_EQ(written(), c.replies);
  }
  // The engine still waits for White's move, and answers it.
  send("e2e4");
  GameBoard game;
  game.play("e2e4");
  EXPECT_TRUE(game.legal(move()));
}

// A game against random legal moves, the engine's clock kept as the interface keeps it.
void PlayClockedGame(XBoardSessionBase* session, const std::string& level, i64 clockMs,
                     i64 incrementMs, bool engineWhite, unsigned seed) {
  SCOPED_TRACE(level);
  std::mt19937 random(seed);
  GameBoard game;
  session->send("new");
  session->send(level);
  session->send("easy");
  i64 engineClock = clockMs, otherClock = clockMs;
  for (int turn = 0; turn < 60 && !game.moves().empty(); ++turn) {
    auto clocks = [&] {
      session->send("time " + std::to_string(engineClock / 10));
      session->send("otim " + std::to_string(otherClock / 10));
    };
    if (SideToMove(&game.board) == (engineWhite ? White : Black)) {
      clocks();
      session->send("go");  // only at the start, with the engine to move
    } else {
      std::vector<std::string> legal = game.moves();
      std::string text = legal[random() % legal.size()];
      game.play(text);
      if (game.moves().empty()) break;
      clocks();
      session->send(text);
    }
    i64 sent = DriverNowMs();
    std::string answer = session->move();
    engineClock -= session->lastMoveAtMs - sent;
    ASSERT_GT(engineClock, 0) << "the engine's clock ran out at move " << turn;
    engineClock += incrementMs;
    ASSERT_TRUE(game.play(answer)) << answer << " at move " << turn;
  }
  session->send("result * {stopped}");
  for (const std::string& line : session->replies()) session->expectNoError(line);
}

TEST_F(XBoardSession, GamesUnderLevelWithTimeAndOtim) {
  PlayClockedGame(this, "level 0 0:04 0", 4000, 0, true, 1);
  PlayClockedGame(this, "level 40 0:06 0", 6000, 0, false, 2);
  PlayClockedGame(this, "level 0 0:03 1", 3000, 1000, false, 3);
}

TEST_F(XBoardSession, GamesUnderStAndSd) {
  struct Case {
    std::vector<std::string> limits;
    i64 boundMs;
  } cases[] = {{{"st 1"}, 1000 + AnswerBoundMs}, {{"level 0 60 0", "time 600000", "sd 3"}, AnswerBoundMs}};
  std::mt19937 random(5);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.limits[0]);
    send("new");
    for (const std::string& limit : c.limits) send(limit);
    GameBoard game;
    for (int moves = 0; moves < 6; ++moves) {
      std::vector<std::string> legal = game.moves();
      std::string text = legal[random() % legal.size()];
      game.play(text);
      i64 sent = DriverNowMs();
      send(text);
      std::string answer = move();
      EXPECT_LE(lastMoveAtMs - sent, c.boundMs);
      ASSERT_TRUE(game.play(answer)) << answer;
    }
  }
}

TEST_F(XBoardSession, ForceModeRecordsMovesAndGoPlaysForEitherColour) {
  send("new");
  send("sd 3");
  send("force");
  GameBoard game;
  for (const char* text : {"e2e4", "c7c5", "g1f3"}) {
    send(text);
    game.play(text);
  }
  EXPECT_TRUE(written().empty());
  send("go");
  ASSERT_TRUE(game.play(move())) << "Black's move";
  send("force");
  for (int i = 0; i < 2; ++i) {
    std::string text = game.moves().front();
    send(text);
    game.play(text);
  }
  send("go");
  ASSERT_TRUE(game.play(move())) << "White's move";
  // "black" with Black to move changes nothing; "white" hands the move to White without a
  // move, and "go" plays it.
  send("force");
  send("black");
  send("white");
  game.board.gamePly += 1;
  send("go");
  ASSERT_TRUE(game.play(move())) << "White's move again";
  EXPECT_TRUE(replies().empty());
}

TEST_F(XBoardSession, MovesThatForceModeOrAnAnalysisCannotPlayAreAnsweredAndChangeNothing) {
  struct Case {
    const char* line;
    const char* reply;
  } cases[] = {
      {"e2e4", "Illegal move: e2e4"},         // no pawn on e2 any more, and Black to move
      {"e7e6q", "Illegal move: e7e6q"},       // a promotion off the last rank
      {"move Qxh7", "Illegal move: Qxh7"},    // SAN that names no move
      {"move Ng8e7", "Illegal move: Ng8e7"},  // SAN read, onto Black's own pawn
      {"move e5xd4", "Illegal move: e5xd4"},
  };
  send("sd 3");
  for (bool analysis : {false, true}) {
    SCOPED_TRACE(analysis ? "analysis" : "force mode");
    send("new");
    send("force");
    send("e2e4");
    GameBoard game;
    game.play("e2e4");
    if (analysis) send("analyze");
    for (const Case& c : cases) {
      SCOPED_TRACE(c.line);
      send(c.line);
      EXPECT_EQ(replies(), std::vector<std::string>{c.reply});
    }
    // The game is the one before them: Black's legal moves are taken, and the engine answers.
    send("move Nf6");
    send("d2d4");
    EXPECT_TRUE(replies().empty());
    game.play("g8f6");
    game.play("d2d4");
    if (analysis) send("exit");
    send("go");
    EXPECT_TRUE(game.legal(move()));
  }
}

TEST_F(XBoardSession, WhiteAndBlackRefuseToLeaveAKingEnPrise) {
  // The side in check would give up the move: refused, and the king cannot be taken.
  struct Case {
    const char* fen;
    const char* flip;
    const char* capture;
  } cases[] = {{"4k3/8/8/8/8/8/8/4R1K1 b - - 0 1", "white", "e1e8"},
               {"4r1k1/8/8/8/8/8/8/4K3 w - - 0 1", "black", "e8e1"}};
  send("sd 3");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.flip);
    send("new");
    send("force");
    send(std::string("setboard ") + c.fen);
    send(c.flip);
    EXPECT_EQ(written(), std::vector<std::string>{"tellusererror Illegal position"});
    send(c.capture);
    EXPECT_EQ(written(), std::vector<std::string>{std::string("Illegal move: ") + c.capture});
    send("go");
    EXPECT_TRUE(GameBoard(c.fen).legal(move())) << "the side in check moves";
  }
  // Handing over the move also ends the right to take en passant: d2xe3 would take a pawn
  // that stands on e4.
  send("new");
  send("force");
  send("e2e4");
  send("white");
  send("d2e3");
  EXPECT_EQ(written(), std::vector<std::string>{"Illegal move: d2e3"});
}

TEST_F(XBoardSession, UndoAndRemoveTakeBackWhatTheInterfaceTakesBack) {
  send("new");
  send("sd 3");
  GameBoard game;
  game.play("e2e4");
  send("e2e4");
  ASSERT_TRUE(game.play(move()));
  GameBoard afterFirstReply = game;
  send("d2d4");
  ASSERT_TRUE(game.play("d2d4"));
  ASSERT_TRUE(game.play(move()));
  send("remove");
  game = afterFirstReply;
  send("g1f3");
  ASSERT_TRUE(game.play("g1f3"));
  GameBoard beforeReply = game;
  ASSERT_TRUE(game.play(move())) << "the reply after remove";
  send("undo");
  send("go");
  ASSERT_TRUE(beforeReply.play(move())) << "Black moves again after undo";
  EXPECT_TRUE(replies().empty());
}

TEST_F(XBoardSession, SetboardTakesTheEnginesPositionsAndRefusesOthers) {
  const std::string fen = "r1bqkb1r/pppp1ppp/2n2n2/4p3/2B1P3/5N2/PPPP1PPP/RNBQK2R w KQkq - 4 4";
  send("new");
  send("sd 3");
  send("force");
  send("setboard " + fen);
  send("go");
  GameBoard game(fen);
  ASSERT_TRUE(game.play(move()));
  for (const char* bad : {"8/8/8/8/8/8/8/8 w - - 0 1", "4k3/8/8/8/8/8/8/4K2r b - - 0 1",
                          "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP w KQkq - 0 1", "", "nonsense"}) {
    SCOPED_TRACE(bad);
    send("force");
    send(std::string("setboard ") + bad);
    EXPECT_EQ(written(), std::vector<std::string>{"tellusererror Illegal position"});
  }
  send("go");
  EXPECT_TRUE(game.legal(move())) << "the position before the refused ones";
}

// The learn book in the engine's folder: the credits of the position after the moves.
std::pair<u32, u32> LearnedCredits(const std::string& folder, const std::string& fen,
                                   const std::string& moveText) {
  GameBoard game(fen);
  game.play(moveText);
  Book book{nullptr, &game.board, 0, 0};
  LoadBook(&book, (folder + "/learn.book").c_str());
  const BookEntry* slot = FindBookSlot(&book, game.board.key);
  std::pair<u32, u32> credits{0, 0};
  if (slot && slot->key == game.board.key) credits = {slot->countA, slot->countB};
  delete[] book.table;
  return credits;
}

TEST_F(XBoardSession, GamesEndInMateStalemateOrAClaimWithTheirResultLines) {
  struct Case {
    const char* fen;
    const char* moves;  // played in force mode before "go"
    const char* result;
    bool engineMoves;
  } cases[] = {
      {"k7/8/1K6/8/8/8/8/6Q1 w - - 0 1", "", "1-0 {White mates}", true},
      {"8/8/1P6/4p3/4R3/7k/5Pp1/7K w - - 0 1", "", "1/2-1/2 {Stalemate}", true},
      {"7k/6Q1/6K1/8/8/8/8/8 b - - 0 1", "", "1-0 {White mates}", false},
      {StartFen, "b1c3 b8c6 g1f3 g8f6 f3g1 f6g8 g1f3 g8f6 f3g1 f6g8", "1/2-1/2 {Draw by repetition}", false},
      {"k7/8/8/8/8/8/8/KR6 w - - 100 80", "", "1/2-1/2 {Draw by 50-moves-rule}", false},
      // A mate on the hundredth half-move comes before the fifty-move rule.
      {"7k/8/6K1/8/8/8/8/R7 w - - 99 120", "", "1-0 {White mates}", true},
      {"7k/8/6K1/8/8/8/8/R7 w - - 99 120", "a1a8", "1-0 {White mates}", false},
  };
  send("sd 3");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.result);
    send("new");
    send("force");
    send(std::string("setboard ") + c.fen);
    std::string moves = c.moves;
    for (std::size_t at = 0; at < moves.size(); at += 5) send(moves.substr(at, 4));
    send("go");
    std::string played;
    if (c.engineMoves) played = move();
    // The result line comes after the move, or instead of one.
    EngineLine line;
    std::vector<EngineLine> seen;
    ASSERT_TRUE(engine->readUntil(c.result, SearchBoundMs, &line, &seen)) << engine->errorOutput();
    for (const EngineLine& l : seen) EXPECT_TRUE(IsThinkingLine(l.text) || l.text == c.result) << l.text;
    send(std::string("result ") + c.result);
    EXPECT_TRUE(replies().empty());
    if (c.engineMoves) {
      std::pair<u32, u32> credits = LearnedCredits(folder->path(), c.fen, played);
      std::pair<u32, u32> expected = c.result[0] == '1' && c.result[1] == '-' ? std::pair<u32, u32>{1, 0}
                                                                             : std::pair<u32, u32>{1, 1};
      EXPECT_EQ(credits, expected) << "learned once, though confirmed by the interface";
    }
  }
}

TEST_F(XBoardSession, SigintDoesNotEndTheEngine) {
  send("new");
  send("sd 3");
  for (int i = 0; i < 5; ++i) engine->signal(SIGINT);
  send("e2e4");
  for (int i = 0; i < 5; ++i) engine->signal(SIGINT);
  GameBoard game;
  game.play("e2e4");
  EXPECT_TRUE(game.legal(move()));
  EXPECT_TRUE(replies().empty());
}

TEST_F(XBoardSession, TheConsoleShowsStatisticsThatXBoardModeDoesNot) {
  for (bool xboard : {false, true}) {
    SCOPED_TRACE(xboard ? "xboard" : "console");
    start("", xboard);
    send("new");
    send("sd 4");
    send("e2e4");
    std::vector<EngineLine> seen;
    move(SearchBoundMs, &seen);
    send("quit");
    ASSERT_EQ(engine->waitForExit(AnswerBoundMs + 2000), 0);
    std::string errors = engine->errorOutput();
    // The thinking lines of the console carry the depths and the bound.
    ASSERT_GE(seen.size(), 2u);
    const std::string& thinking = seen[seen.size() - 2].text;
    EXPECT_EQ(thinking.find(") = ") != std::string::npos, !xboard) << thinking;
    EXPECT_EQ(errors.find("time: ") != std::string::npos, !xboard) << errors;
    EXPECT_EQ(errors.find("totalNodes:") != std::string::npos, !xboard);
    EXPECT_EQ(errors.find("BetaEfficency:") != std::string::npos, !xboard);
  }
  start("", false);
  send("sd 5");
  send("st 2");
  send("go");
  move();
  EXPECT_NE(engine->errorOutput().find("Think limits: 5 ply, " + std::to_string(1940) + " ms\r\n"),
            std::string::npos)
      << engine->errorOutput();
}

TEST_F(XBoardSession, TheEndOfInputEndsWithStatusOneEvenDuringASearch) {
  send("new");
  send("level 0 60 0");
  send("time 600000");
  send("e2e4");
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  engine->closeInput();
  EXPECT_EQ(engine->waitForExit(AnswerBoundMs + 2000), 1);
}

}  // namespace
