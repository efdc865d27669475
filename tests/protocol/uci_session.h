// The UCI session fixture: the real program started in a folder of its own and driven through
// pipes, with the board code as the judge of its answers.
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

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr int Rounds = 4;  // the slower builds repeat the loops less often
constexpr int AnswerBoundMs = 3000;
#else
constexpr int Rounds = 1;
// An answer later than this is a hang, not a busy machine's scheduling: the milliseconds
// themselves are measured by bench-uci_latency.
constexpr int AnswerBoundMs = 1000;
#endif

// The position after a start position or FEN and coordinate moves, built with the board code.
struct Position {
  Board board;
  explicit Position(const std::string& fen = StartFen) { SetFen(&board, fen.c_str()); }
  // A board's attack map points to its own record.
  Position(const Position& other) : board(other.board) { board.attacks.board = &board; }
  bool play(const std::string& text) {
    u32 move = 0;
    if (!ParseCoordinateMove(&move, text) || !IsLegalMove(&board, move)) return false;
    MakeMove(&board, board.squares[MoveFrom(move)], move);
    return true;
  }
  // A bestmove's move: legal here, or 0000 when there is none.
  bool answers(const std::string& text) {
    if (text == "0000") return CountLegalMoves(&board) == 0;
    Board copy = board;
    bool legal = play(text);
    board = copy;
    return legal;
  }
};

inline std::string BestMoveOf(const std::string& line) {
  std::size_t start = line.find(' ') + 1;
  std::size_t end = line.find(' ', start);
  return line.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

class UciSession : public ::testing::Test {
 protected:
  void SetUp() override { start(); }

  void start(const std::string& extraIni = "") {
    engine.reset();
    folder = std::make_unique<EngineFolder>(extraIni);
    engine = std::make_unique<EngineProcess>(folder->path());
    ASSERT_TRUE(engine->running());
    engine->sendLine("uci");
    ASSERT_TRUE(engine->readUntil("uciok", 20000, nullptr, &handshake)) << engine->errorOutput();
    ready();
  }

  void ready() {
    engine->sendLine("isready");
    ASSERT_TRUE(engine->readUntil("readyok", 20000, nullptr)) << engine->errorOutput();
  }

  // The bestmove of the running search, with every line before it.
  EngineLine bestMove(int timeoutMs, std::vector<EngineLine>* seen = nullptr) {
    EngineLine line{"", 0};
    EXPECT_TRUE(engine->readUntil("bestmove", timeoutMs, &line, seen)) << engine->errorOutput();
    return line;
  }

  // No further bestmove: the next readyok comes first.
  void expectNoMoreBestMoves() {
    engine->sendLine("isready");
    std::vector<EngineLine> seen;
    ASSERT_TRUE(engine->readUntil("readyok", 20000, nullptr, &seen));
    for (const EngineLine& line : seen) EXPECT_NE(line.text.rfind("bestmove", 0), 0u) << line.text;
  }

  std::unique_ptr<EngineFolder> folder;
  std::unique_ptr<EngineProcess> engine;
  std::vector<EngineLine> handshake;
};
