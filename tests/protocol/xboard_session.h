// XBoard sessions with the real program through pipes: the engine started with -xboard in a
// folder of its own, a board of the test's own that follows the game as an interface sees it,
// and the bound that tells a hang from a busy machine.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "board/fen.h"
#include "board/make_move.h"
#include "board/movegen.h"
#include "board/notation.h"
#include "protocol/engine_process.h"

namespace {

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr int AnswerBoundMs = 3000;
#else
// An answer later than this is a hang, not a busy machine's scheduling.
constexpr int AnswerBoundMs = 1000;
#endif
// A search that ends by its own limits (a small depth, a second or two) answers within this.
constexpr int SearchBoundMs = 20000;

// The game as the interface has it.
struct GameBoard {
  Board board;
  explicit GameBoard(const std::string& fen = StartFen) { SetFen(&board, fen.c_str()); }
  // A board's attack map points to its own record.
  GameBoard(const GameBoard& other) : board(other.board) { board.attacks.board = &board; }
  GameBoard& operator=(const GameBoard& other) {
    board = other.board;
    board.attacks.board = &board;
    return *this;
  }
  bool play(const std::string& text) {
    u32 move = 0;
    if (!ParseCoordinateMove(&move, text) || !IsLegalMove(&board, move)) return false;
    MakeMove(&board, board.squares[MoveFrom(move)], move);
    return true;
  }
  bool legal(const std::string& text) const {
    GameBoard copy(*this);
    return copy.play(text);
  }
  std::vector<std::string> moves() const {
    MoveList list;
    list.count = 0;
    GenerateLegalMoves(const_cast<Board*>(&board), &list);
    std::vector<std::string> texts;
    for (i32 i = 0; i < list.count; ++i) texts.push_back(MoveToText(list.moves[i]));
    return texts;
  }
};

bool StartsWith(const std::string& text, const std::string& prefix) {
  return text.compare(0, prefix.size(), prefix) == 0;
}

// A thinking line: depth, score, time, nodes and moves, the depth right-aligned in two places.
bool IsThinkingLine(const std::string& text) {
  return text.size() > 2 && (text[0] == ' ' || (text[0] >= '1' && text[0] <= '9')) &&
         text[1] >= '0' && text[1] <= '9';
}

class XBoardSessionBase : public ::testing::Test {
 public:
  void SetUp() override { start(); }

  // The engine in a fresh folder; in xboard mode unless asked for the console.
  void start(const std::string& extraIni = "", bool xboard = true) {
    engine.reset();
    folder = std::make_unique<EngineFolder>(extraIni);
    engine = std::make_unique<EngineProcess>(folder->path(), std::vector<std::string>{"-xboard"});
    ASSERT_TRUE(engine->running());
    if (!xboard) return;
    send("xboard");
    send("protover 2");
    EngineLine line;
    ASSERT_TRUE(engine->readLine(&line, 20000)) << engine->errorOutput();
    ASSERT_EQ(line.text, "feature setboard=1 colors=0");
  }

  void send(const std::string& line) { engine->sendLine(line); }

  // The engine's next move, every line before it in *seen; none of them an error.
  std::string move(int timeoutMs = SearchBoundMs, std::vector<EngineLine>* seen = nullptr) {
    std::vector<EngineLine> lines;
    EngineLine found{"", 0};
    EXPECT_TRUE(engine->readUntil("move ", timeoutMs, &found, &lines)) << engine->errorOutput();
    for (const EngineLine& line : lines) expectNoError(line.text);
    if (seen) *seen = lines;
    lastMoveAtMs = found.atMs;
    return found.text.size() > 5 ? found.text.substr(5) : "";
  }

  // The lines written so far: those before the answer to a ping, which comes at once.
  std::vector<std::string> written() {
    // Numbers of one width: no answer is the start of another.
    std::string number = std::to_string(1000000 + ++pings);
    std::string pong = "pong " + number;
    send("ping " + number);
    std::vector<EngineLine> lines;
    EXPECT_TRUE(engine->readUntil(pong, AnswerBoundMs, nullptr, &lines)) << engine->errorOutput();
    std::vector<std::string> texts;
    for (std::size_t i = 0; i + 1 < lines.size(); ++i) texts.push_back(lines[i].text);
    return texts;
  }

  // Lines written so far that are not thinking lines.
  std::vector<std::string> replies() {
    std::vector<std::string> texts;
    for (const std::string& text : written())
      if (!IsThinkingLine(text)) texts.push_back(text);
    return texts;
  }

  void expectNoError(const std::string& text) {
    EXPECT_FALSE(StartsWith(text, "Error") || StartsWith(text, "Illegal move") ||
                 StartsWith(text, "tellusererror"))
        << text;
  }

  std::unique_ptr<EngineFolder> folder;
  std::unique_ptr<EngineProcess> engine;
  int pings = 0;
  i64 lastMoveAtMs = 0;
};

}  // namespace
