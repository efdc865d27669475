// The XBoard front end with its worker in process: thinking lines and moves, results and the
// learning from them, pondering with hit and miss, and commands that stop a search or a ponder
// search (the game stays as the interface has it, and nothing waits for ever).
#include <gtest/gtest.h>

#include "board/board_testing.h"
#include "board/make_move.h"
#include "board/movegen.h"
#include "board/zobrist.h"
#include "book/book.h"
#include "protocol/uci.h"
#include "protocol/xboard_fixture.h"

namespace {

using XBoardWorker = XBoardFixture;

// The position after the moves, for comparing with the engine's.
std::string FenAfter(std::initializer_list<std::string> moves, const char* fen = StartFen) {
  GameBoard game(fen);
  for (const std::string& text : moves) EXPECT_TRUE(game.play(text)) << text;
  return GetFen(&game.board);
}

std::string MoveOfLine(const std::string& line) {
  EXPECT_EQ(line.rfind("move ", 0), 0u) << line;
  return line.substr(5);
}

TEST_F(XBoardWorker, ReportsFollowThePostFlagAndTheMode) {
  PVLine pv{};
  pv.moves[0] = Mv("e2e4");
  pv.length = 1;
  pv.score = 29997;
  gui->sendPV(1234, 5, 8, 999, 7, 3, 0, &pv);
  command("xboard");
  gui->sendPV(1234, 5, 8, 999, 7, 3, 0, &pv);
  gui->sendInfo("info %d");
  command("nopost");
  gui->sendPV(1234, 5, 8, 999, 7, 3, 0, &pv);
  gui->sendInfo("hidden");
  {
    std::lock_guard<std::mutex> lock(engine->thinkMutex);
    engine->frames[0].line.length = 2;
    engine->frames[0].line.moves[1] = Mv("e7e5");
    gui->sendBestMove(Mv("e7e8q"), Mv("d7d5"));
  }
  EXPECT_EQ(lines(), (std::vector<std::string>{" 5    #2    123       999 ( 5/ 8) = e2e4 ",
                                               " 5 29997    123       999 e2e4 ", "info %d",
                                               "move e7e8q"}));
  EXPECT_EQ(gui->hintMove.load(), Mv("e7e5")) << "without pondering: the line's second move";
  // In analyse mode there is no move line, but the hint is kept; with pondering allowed it is
  // the reply the worker expects.
  gui->analyseMode = 1;
  gui->ponderAllowed = 1;
  gui->sendBestMove(Mv("e2e4"), Mv("c7c5"));
  EXPECT_TRUE(lines().empty());
  EXPECT_EQ(gui->hintMove.load(), Mv("c7c5"));
  gui->analyseMode = 0;
  command("hint");
  EXPECT_EQ(lines(), std::vector<std::string>{"Hint: c7c5"});
}

// The learn book as the engine wrote it: the credits of the position after the moves.
std::pair<u32, u32> LearnedCredits(const std::string& fen) {
  Board board;
  SetFen(&board, fen.c_str());
  Book book{nullptr, &board, 0, 0};
  LoadBook(&book, "learn.book");
  const BookEntry* slot = FindBookSlot(&book, board.key);
  std::pair<u32, u32> credits{0, 0};
  if (slot && slot->key == board.key) credits = {slot->countA, slot->countB};
  delete[] book.table;
  return credits;
}

TEST_F(XBoardWorker, GamesThatTheEngineEndsAreReportedAndLearnedOnce) {
  struct Case {
    const char* fen;
    std::vector<std::string> moves;  // played in force mode first
    const char* result;
    bool engineMoves;
  } cases[] = {
      {"k7/8/1K6/8/8/8/8/6Q1 w - - 0 1", {}, "1-0 {White mates}", true},
      {"rnbqkbnr/pppp1ppp/8/4p3/6P1/5P2/PPPPP2P/RNBQKBNR b KQkq - 0 2", {}, "0-1 {Black mates}", true},
      {"8/8/1P6/4p3/4R3/7k/5Pp1/7K w - - 0 1", {}, "1/2-1/2 {Stalemate}", true},
      {"7k/6Q1/6K1/8/8/8/8/8 b - - 0 1", {}, "1-0 {White mates}", false},
      {"k7/8/8/8/8/8/8/KR6 w - - 100 80", {}, "1/2-1/2 {Draw by 50-moves-rule}", false},
      // The third time within the half-move clock (an en-passant square would make the
      // position after a double step another one).
      {StartFen, {"b1c3", "b8c6", "g1f3", "g8f6", "f3g1", "f6g8", "g1f3", "g8f6", "f3g1", "f6g8"},
       "1/2-1/2 {Draw by repetition}", false},
  };
  command("xboard");
  command("sd 3");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.result);
    command("new");
    command("force");
    command(std::string("setboard ") + c.fen);
    for (const std::string& move : c.moves) command(move);
    std::vector<std::string> written = session({"go"});
    std::vector<std::string> ends;
    for (const std::string& line : written)
      if (line[0] != ' ') ends.push_back(line);
    ASSERT_EQ(ends.size(), c.engineMoves ? 2u : 1u);
    EXPECT_EQ(ends.back(), c.result);
    EXPECT_EQ(engine->history->learnDone, 1);
    if (c.engineMoves) {
      std::string fen = FenAfter({MoveOfLine(ends[0])}, c.fen);
      std::pair<u32, u32> once = LearnedCredits(fen);
      EXPECT_NE(once, (std::pair<u32, u32>{0, 0}));
      // The interface's confirmation learns nothing more.
      command(std::string("result ") + c.result);
      EXPECT_EQ(LearnedCredits(fen), once);
    }
  }
  EXPECT_EQ(fs::file_size("learn.book"), 4u + 16u * LearnBookStartCapacity);
}

// Protocol output recorded write by write.
std::vector<std::string> Writes;
ssize_t RecordWrite(void*, const char* data, size_t size) {
  Writes.emplace_back(data, size);
  return static_cast<ssize_t>(size);
}

TEST_F(XBoardWorker, AGameEndingMoveGoesOutWithItsResultInOneWrite) {
  command("xboard");
  command("sd 3");
  command("setboard k7/8/1K6/8/8/8/8/6Q1 w - - 0 1");
  cookie_io_functions_t recorder{nullptr, RecordWrite, nullptr, nullptr};
  std::FILE* recording = fopencookie(nullptr, "w", recorder);
  ASSERT_NE(recording, nullptr);
  Writes.clear();
  ProtocolOutput = recording;
  session({"go"});
  ProtocolOutput = out;
  std::fclose(recording);
  ASSERT_FALSE(Writes.empty());
  EXPECT_EQ(Writes.back(), "move g1g8\n1-0 {White mates}\n");
}

TEST_F(XBoardWorker, GamesThatTheInterfaceEndsAreLearnedFromItsResult) {
  command("xboard");
  command("sd 2");
  command("new");
  std::vector<std::string> written = session({"e2e4"});
  std::string reply = MoveOfLine(written.back());
  std::string fen = FenAfter({"e2e4", reply});
  command("result 0-1 {White resigns}");
  EXPECT_EQ(LearnedCredits(fen), (std::pair<u32, u32>{0, 1}));
  command("result 0-1 {White resigns}");
  EXPECT_EQ(LearnedCredits(fen), (std::pair<u32, u32>{0, 1})) << "a game is learned once";
  // Without learning, or with a result that names no winner, nothing is written.
  for (const char* setting : {"learn_book=false", ""}) {
    fs::remove("learn.book");
    if (*setting) LookupParam("learn_book")->set("false");
    command("new");
    session({"e2e4"});
    command(*setting ? "result 1-0" : "result *");
    EXPECT_FALSE(fs::exists("learn.book")) << setting;
    LookupParam("learn_book")->set("true");
  }
}

TEST_F(XBoardWorker, ALevelDuringASearchTakesEffectBeforeTheNextOne) {
  command("xboard");
  command("st 30");
  command("new");
  command("e2e4");  // a search of up to 30 s under the fixed controller
  ASSERT_TRUE(WaitForThinking());
  command("level 40 5 0");
  command("time 6000");  // after the level that waits, for its controller
  EXPECT_EQ(gui->levelMoves.load(), 0);
  EXPECT_EQ(gui->fixedTc.time.load(), MoveTimeBudget(30000));
  command("?");
  linesUntil("move ");
  waitIdle();
  EXPECT_EQ(engine->timeController, &gui->dynamicTc);
  EXPECT_EQ(gui->levelMoves.load(), 40);
  EXPECT_EQ(gui->dynamicTc.timePerControl, 300000);
  EXPECT_EQ(gui->dynamicTc.time.load(), 60000);
  EXPECT_EQ(gui->startMove.load(), 1u) << "counted from the game when the level took effect";
}

// A game in which the engine, after its reply to e2e4, ponders on the move it expects.
class XBoardPonder : public XBoardFixture {
 protected:
  // A learned reply would be a book move, on which the engine does not ponder.
  void SetUp() override {
    XBoardFixture::SetUp();
    LookupParam("learn_book")->set("false");
  }
  void startPondering() {
    command("xboard");
    command("new");
    command("hard");
    command("sd 4");
    command("e2e4");
    reply = MoveOfLine(linesUntil("move ").back());
    ASSERT_TRUE(pondering());
    command("hint");
    std::vector<std::string> hint = lines();
    ASSERT_EQ(hint.size(), 1u);
    ASSERT_EQ(hint[0].rfind("Hint: ", 0), 0u);
    expected = hint[0].substr(6);
  }
  std::string reply, expected;
};

TEST_F(XBoardPonder, AbandonedPonderSearchesLeaveTheGameAsTheInterfaceHasIt) {
  struct Case {
    const char* command;
    u32 count;      // history entries afterwards
    int takeBacks;  // of the two plies e2e4 and the reply
  } cases[] = {{"easy", 2, 0},     {"force", 2, 0},      {"sd 5", 2, 0},  {"st 1", 2, 0},
               {"?", 2, 0},        {"result 1-0", 2, 0}, {"hard", 2, 0},  {"white", 2, 0},
               {"undo", 1, 1},     {"remove", 0, 2},     {"new", 0, 2},   {"setboard 4k3/8/8/8/8/8/8/4K2R w K - 0 1", 0, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.command);
    startPondering();
    command(c.command);
    waitIdle();
    EXPECT_EQ(engine->ponderMode.load() == PonderOn, false);
    std::lock_guard<std::mutex> lock(engine->thinkMutex);
    EXPECT_EQ(engine->history->count, c.count);
    std::string fen = c.takeBacks == 0 ? FenAfter({"e2e4", reply})
                      : c.takeBacks == 1 ? FenAfter({"e2e4"}) : std::string(StartFen);
    if (c.command[0] == 's' && c.command[1] == 'e') fen = FenAfter({}, c.command + 9);
    EXPECT_EQ(GetFen(engine->board), fen);
  }
  // "black" with White to move hands the move to Black: the abandoned reply is not it. The
  // en-passant square that the reply may have left goes with the move.
  startPondering();
  command("black");
  waitIdle();
  std::lock_guard<std::mutex> lock(engine->thinkMutex);
  Board board;
  SetFen(&board, FenAfter({"e2e4", reply}).c_str());
  board.gamePly += 1;
  board.epSquare = NoSquare;
  EXPECT_EQ(GetFen(engine->board), GetFen(&board));
}

TEST_F(XBoardPonder, TheExpectedReplyIsAHitAndAnotherMoveAMiss) {
  for (bool hit : {true, false}) {
    SCOPED_TRACE(hit ? "hit" : "miss");
    startPondering();
    std::string move = expected;
    if (!hit) {
      Board board;
      SetFen(&board, FenAfter({"e2e4", reply}).c_str());
      MoveList legal;
      legal.count = 0;
      GenerateLegalMoves(&board, &legal);
      for (i32 i = 0; i < legal.count && move == expected; ++i) move = MoveToText(legal.moves[i]);
    }
    command(move);
    std::string answer = MoveOfLine(linesUntil("move ").back());
    std::string fen = FenAfter({"e2e4", reply, move, answer});
    command("easy");  // ends the next ponder search
    waitIdle();
    std::lock_guard<std::mutex> lock(engine->thinkMutex);
    EXPECT_EQ(engine->history->count, 4u);
    EXPECT_EQ(GetFen(engine->board), fen);
  }
}

TEST_F(XBoardPonder, CommandsThatStopTheEnginesOwnSearchReturnWhilePonderingIsOn) {
  struct Case {
    const char* command;
    u32 count;
  } cases[] = {{"?", 2}, {"result 1-0", 2}, {"force", 2}, {"easy", 2}, {"new", 0}, {"undo", 1}};
  command("xboard");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.command);
    command("new");
    command("hard");
    command("level 0 60 0");
    command("time 600000");
    command("e2e4");
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    command(c.command);  // would wait for ever on a ponder search nobody stops
    waitIdle();
    std::vector<std::string> written = lines();
    ASSERT_FALSE(written.empty());
    EXPECT_EQ(written.back().rfind("move ", 0), 0u) << "the search plays its best move so far";
    EXPECT_NE(engine->ponderMode.load(), PonderOn);
    std::lock_guard<std::mutex> lock(engine->thinkMutex);
    EXPECT_EQ(engine->history->count, c.count);
  }
}

}  // namespace
