// UCI sessions with the real program through pipes: the option list, answers during a search,
// stop and ponder timing, one bestmove per go, quitting and the end of input, long games, and
// bad input.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <thread>

#include "protocol/uci.h"
#include "protocol/uci_session.h"

namespace {

TEST_F(UciSession, UciListsEveryOptionLine) {
  const char* expected[] = {
      "id name Tervik 2.0.0",
      "id author Brenvald",
      "option name MultiPV type spin min 1 max 20 default 1",
      "option name NalimovPath type string default c:\\",
      "option name UseNalimov type check default true",
      "option name ClearHash type button",
      "option name Hash type spin default 64 min 0 max  1024",
      "option name NalimovCache type spin default 4 min 0 max  128",
      "option name resign type spin default 999 min 0 max  3000",
      "option name egtb_depth type spin default 192 min 0 max  1280",
      "option name ext_check type spin default 64 min 0 max  192",
      "option name ext_single type spin default 64 min 0 max  192",
      "option name ext_threat type spin default 64 min 0 max  192",
      "option name ext_pawnon7th type spin default 64 min 0 max  192",
      "option name ext_pawn_endgame type spin default 128 min 0 max  192",
      "option name ext_retake type spin default 22 min 0 max  192",
      "option name ext_pv type spin default 32 min 0 max  192",
      "option name ext_per_ply type spin default 64 min 0 max  192",
      "option name static_prune_depth type spin default 192 min 0 max  1024",
      "option name null_red_depth type spin default 128 min 0 max  384",
      "option name eval_material type spin default 64 min 0 max  192",
      "option name ms_prune type spin default 96 min 0 max  256",
      "option name prune_margin type spin default 64 min 0 max  512",
      "option name ms_prune_first type spin default 2 min 1 max  40",
      "option name ks_null_reduce type spin default 999 min 0 max  999",
      "option name ks_threat_ext type spin default 999 min 0 max  999",
      "option name ks_prune_move type spin default 999 min 0 max  999",
      "option name ks_qs_margin type spin default 999 min 0 max  999",
      "option name ks_qs_break type spin default 999 min 0 max  999",
      "option name ks_worst_weight type spin default 0 min 0 max  200",
      "option name learn_book type check default true",
      "option name book_random type check default false",
      "option name qs_prune_1 type check default true",
      "option name qs_prune_2 type check default true",
      "option name qs_see type check default true",
      "option name material_only type check default false",
      "uciok",
  };
  ASSERT_EQ(handshake.size(), std::size(expected));
  for (std::size_t i = 0; i < handshake.size(); ++i) EXPECT_EQ(handshake[i].text, expected[i]);

  // The lines show current values; Hash acts on the table and keeps its parameter.
  engine->sendLine("setoption name resign value 500");
  engine->sendLine("setoption name book_random value true");
  engine->sendLine("setoption name Hash value 16");
  engine->sendLine("uci");
  std::vector<EngineLine> again;
  ASSERT_TRUE(engine->readUntil("uciok", 20000, nullptr, &again));
  ASSERT_EQ(again.size(), std::size(expected));
  EXPECT_EQ(again[8].text, "option name resign type spin default 500 min 0 max  3000");
  EXPECT_EQ(again[31].text, "option name book_random type check default true");
  EXPECT_EQ(again[6].text, expected[6]);
}

TEST_F(UciSession, CommandsEndingInCrLfAndUnknownCommandsAreUnderstoodOrIgnored) {
  engine->send("isready\r\n");
  EngineLine line;
  ASSERT_TRUE(engine->readLine(&line, 20000));
  EXPECT_EQ(line.text, "readyok");
  engine->send("ucinewgame\r\n\r\n\nregister later\ndebug on\n   \nisready\n");
  ASSERT_TRUE(engine->readLine(&line, 20000));
  EXPECT_EQ(line.text, "readyok") << "ignored commands write nothing";
}

TEST_F(UciSession, IsReadyIsAnsweredAtOnceDuringAnInfiniteSearch) {
  engine->sendLine("position startpos");
  engine->sendLine("go infinite");
  i64 worst = 0;
  for (int i = 0; i < 1000; ++i) {
    i64 sent = DriverNowMs();
    engine->sendLine("isready");
    EngineLine line;
    ASSERT_TRUE(engine->readUntil("readyok", 5000, &line)) << "isready " << i;
    worst = std::max(worst, line.atMs - sent);
  }
  EXPECT_LE(worst, AnswerBoundMs) << "slowest readyok";
  engine->sendLine("stop");
  EXPECT_TRUE(GameBoard().answers(BestMoveOf(bestMove(5000).text)));
  expectNoMoreBestMoves();
}

TEST_F(UciSession, StopDuringAnInfiniteSearchGivesOneLegalMoveAtOnce) {
  std::mt19937 random(7);
  i64 worst = 0;
  int rounds = 300 / Rounds;
  for (int i = 0; i < rounds; ++i) {
    SCOPED_TRACE(i);
    // Every fourth round sends go and stop in one write; the others stop after 0..30 ms.
    i64 sent;
    if (i % 4 == 0) {
      sent = DriverNowMs();
      engine->send("position startpos moves e2e4\ngo infinite\nstop\n");
    } else {
      engine->send("position startpos moves e2e4\ngo infinite\n");
      std::this_thread::sleep_for(std::chrono::milliseconds(random() % 31));
      sent = DriverNowMs();
      engine->sendLine("stop");
    }
    EngineLine best = bestMove(5000);
    worst = std::max(worst, best.atMs - sent);
    GameBoard after;
    after.play("e2e4");
    ASSERT_TRUE(after.answers(BestMoveOf(best.text))) << best.text;
  }
  EXPECT_LE(worst, AnswerBoundMs) << "slowest bestmove after stop";
  expectNoMoreBestMoves();
}

TEST_F(UciSession, PonderingAnswersOnlyAfterPonderhitOrStop) {
  for (const char* release : {"ponderhit", "stop"}) {
    SCOPED_TRACE(release);
    engine->sendLine("position startpos moves e2e4 e7e5");
    engine->sendLine("go ponder wtime 2000 btime 2000");
    std::vector<EngineLine> early = engine->drain(300);
    for (const EngineLine& line : early) ASSERT_NE(line.text.rfind("bestmove", 0), 0u) << line.text;
    engine->sendLine(release);
    GameBoard after;
    after.play("e2e4");
    after.play("e7e5");
    EXPECT_TRUE(after.answers(BestMoveOf(bestMove(5000).text)));
    expectNoMoreBestMoves();
  }
}

TEST_F(UciSession, AMatedOrStalematedPositionAnswersWithItsScoreAndTheNullMove) {
  struct Position {
    const char* fen;
    const char* score;  // the one line before the bestmove
  } positions[] = {{"7k/6Q1/6K1/8/8/8/8/8 b - - 0 1", "info depth 0 score mate 0"},
                   {"7k/5Q2/6K1/8/8/8/8/8 b - - 0 1", "info depth 0 score cp 0"},
                   {"k7/8/1Q6/8/8/8/8/7K b - - 0 1", "info depth 0 score cp 0"}};
  struct Search {
    const char* go;
    const char* release;  // the move waits for it; empty: none
  } searches[] = {{"go movetime 200", ""},          {"go wtime 1000 btime 1000", ""},
                  {"go infinite", "stop"},          {"go mate 2", "stop"},
                  {"go ponder wtime 2000 btime 2000", "ponderhit"},
                  {"go ponder wtime 2000 btime 2000", "stop"}};
  for (const Position& p : positions) {
    for (const Search& s : searches) {
      SCOPED_TRACE(std::string(p.fen) + " " + s.go + " " + s.release);
      engine->sendLine(std::string("position fen ") + p.fen);
      engine->sendLine(s.go);
      std::vector<EngineLine> seen;
      if (*s.release) {
        seen = engine->drain(200);
        for (const EngineLine& line : seen) ASSERT_NE(line.text.rfind("bestmove", 0), 0u);
        engine->sendLine(s.release);
      }
      EXPECT_EQ(bestMove(5000, &seen).text, "bestmove 0000");
      ASSERT_EQ(seen.size(), 2u);
      EXPECT_EQ(seen[0].text, p.score);
      expectNoMoreBestMoves();
    }
  }
  // "position" abandons a ponder search without a move, also one on a finished game: the next
  // go's bestmove is the only one.
  engine->sendLine(std::string("position fen ") + positions[0].fen);
  engine->sendLine("go ponder wtime 2000 btime 2000");
  engine->sendLine("position startpos");
  engine->sendLine("go depth 3");
  std::vector<EngineLine> seen;
  EXPECT_NE(bestMove(20000, &seen).text, "bestmove 0000");
  for (const EngineLine& line : seen) EXPECT_NE(line.text, "bestmove 0000");
  expectNoMoreBestMoves();
}

TEST_F(UciSession, QuitDuringASearchEndsAtOnceWithStatusZero) {
  engine->sendLine("position startpos");
  engine->sendLine("go infinite");
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  i64 sent = DriverNowMs();
  engine->sendLine("quit");
  EXPECT_EQ(engine->waitForExit(5000), 0);
  EXPECT_LE(DriverNowMs() - sent, AnswerBoundMs);
}

TEST_F(UciSession, TheEndOfInputEndsWithStatusOneEvenDuringASearch) {
  engine->sendLine("position startpos");
  engine->sendLine("go infinite");
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  engine->closeInput();
  EXPECT_EQ(engine->waitForExit(5000), 1);
  for (const EngineLine& line : engine->drain(100)) EXPECT_NE(line.text.rfind("bestmove", 0), 0u);
}

// A random game of the given length that never runs out of moves on the way.
std::vector<std::string> RandomGame(int plies, unsigned seed) {
  std::mt19937 random(seed);
  std::vector<std::string> moves;
  GameBoard position;
  while (static_cast<int>(moves.size()) < plies) {
    MoveList list;
    list.count = 0;
    GenerateLegalMoves(&position.board, &list);
    for (int attempt = 0;; ++attempt) {
      u32 move = list.moves[random() % static_cast<u32>(list.count)];
      Board saved = position.board;
      position.play(MoveToText(move));
      if (CountLegalMoves(&position.board) > 0 || attempt > 50) {
        moves.push_back(MoveToText(move));
        break;
      }
      position.board = saved;
    }
  }
  return moves;
}

TEST_F(UciSession, LongGamesLeaveTheEngineOnTheirLastPosition) {
  for (int plies : {600, 1100}) {
    SCOPED_TRACE(plies);
    std::vector<std::string> moves = RandomGame(plies, static_cast<unsigned>(plies));
    std::string line = "position startpos moves";
    GameBoard expected;
    for (const std::string& move : moves) {
      line += " " + move;
      ASSERT_TRUE(expected.play(move));
    }
    engine->sendLine(line);
    // Twenty searches from the last position: each answer legal there, none elsewhere.
    for (int i = 0; i < 20; ++i) {
      engine->sendLine(line);
      engine->sendLine("go depth 3");
      std::string best = BestMoveOf(bestMove(20000).text);
      ASSERT_TRUE(expected.answers(best)) << best;
    }
  }
}

TEST_F(UciSession, BadInputNeverCrashesAndLeavesAValidPosition) {
  const std::string start = "position startpos moves e2e4";
  GameBoard afterE4;
  afterE4.play("e2e4");
  struct Case {
    std::string line;
    std::string fen;  // the position the next go must answer; empty: after e2e4 (kept)
  } cases[] = {
      {"position fen", ""},
      {"position fen ", ""},
      {"position fen 8/8/8/8/8/8/8/8 w - - 0 1", ""},
      {"position fen rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR", ""},
      {"position fen rnbqkbnr/pppppppp/9/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1", ""},
      {"position fen rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNRR w KQkq - 0 1", ""},
      {"position fen rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP w KQkq - 0 1", ""},
      {"position fen rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR/8 w KQkq - 0 1", ""},
      {"position fen 4k3/8/8/8/8/8/8/4K2r b - - 0 1", ""},  // the side not to move in check
      {"position fen 4k3/8/8/8/8/8/8/3KK3 w - - 0 1", ""},
      {"position fen 4k3/P7/8/8/8/8/8/4K3 w - xx 0 1", "4k3/P7/8/8/8/8/8/4K3 w - - 0 1"},
      {"position fen 4k2p/8/8/8/8/8/8/4K3 w - - 0 1", ""},
      {"position fen 4k3/8/8/8/8/8/8/4K3 w KQkq z9 99999999999 -5",
       "4k3/8/8/8/8/8/8/4K3 w - - 0 1"},
      {"position startpos moves e2e5 e2e4", ""},
      {"position startpos moves e2e4 e2e4", ""},
      {"position startpos moves e1g1 zz9 e2e4 e7e8q a1a9 e2e4", ""},
      {"position startpos moves", std::string(StartFen)},
      {"position startpos moves " + std::string(50000, 'x'), std::string(StartFen)},
      {"position " + std::string(20000, ' ') + "startpos", std::string(StartFen)},
      {"position", ""},
      {"position nothing", ""},
      {std::string(100000, 'a'), ""},
      {"", ""},
      {"\r", ""},
      {"setoption", ""},
      {"setoption name", ""},
      {"setoption name Hash value -5", ""},
      {"setoption name Hash value 0", ""},
      {"setoption name Hash value 4096", ""},
      {"setoption name Hash value 4100", ""},
      {"setoption name MultiPV value 0", ""},
      {"setoption name MultiPV value -3", ""},
      {"setoption name MultiPV value 1000", ""},
      {"setoption name NalimovCache value -1", ""},
      {"setoption name NalimovCache value 100000", ""},
      {"setoption name NalimovPath value /nonexistent", ""},
      {"setoption name ms_prune_first value -100000", ""},
      {"setoption name resign value banana", ""},
      {"setoption name book_mix value 2000000000", ""},
      {"setoption name book_white_advantage value -2000000000", ""},
      {"setoption name MultiPV value 1", ""},
      {"setoption name Hash value 16", ""},
  };
  for (const Case& c : cases) {
    // Hash 4096 and 4100 give the largest table; the table session sizes it in every build.
    if (!QuickLargeTables && c.line.rfind("setoption name Hash value 4", 0) == 0) continue;
    SCOPED_TRACE(c.line.substr(0, 80));
    engine->sendLine(start);
    engine->sendLine(c.line);
    ready();
    engine->sendLine("go depth 2");
    std::string best = BestMoveOf(bestMove(20000).text);
    GameBoard expected = c.fen.empty() ? afterE4 : GameBoard(c.fen);
    ASSERT_TRUE(expected.answers(best)) << best;
  }
  // Searches with odd limits answer once each.
  for (const char* go : {"go depth -5", "go depth 100000", "go depth 0", "go wtime -100 btime -100",
                         "go wtime 0 btime 0", "go movetime 0", "go movetime -5", "go movetime",
                         "go wtime btime", "go movestogo 0 wtime 100 btime 100",
                         "go movestogo -7 wtime 100 btime 100", "go nodes 1000 movetime 50",
                         "go searchmoves e2e4 movetime 50", "go mate 2 movetime 50"}) {
    SCOPED_TRACE(go);
    engine->sendLine(start);
    engine->sendLine(go);
    // An analysis, and a depth beyond reach without a clock, end with "stop".
    std::string text = go;
    if (text.find("mate") != std::string::npos || text == "go depth 100000") engine->sendLine("stop");
    std::string best = BestMoveOf(bestMove(20000).text);
    ASSERT_TRUE(afterE4.answers(best)) << best;
    expectNoMoreBestMoves();
  }
}

TEST_F(UciSession, OptionsChangedDuringAnAnalysisWaitForItsEnd) {
  engine->sendLine("position startpos");
  engine->sendLine("go infinite");
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  for (const char* option : {"setoption name Hash value 1", "setoption name Clear Hash",
                             "setoption name ClearHash", "setoption name NalimovCache value 8",
                             "setoption name NalimovPath value /nonexistent",
                             "setoption name MultiPV value 3", "setoption name Hash value 32"})
    engine->sendLine(option);
  // The analysis goes on: no early bestmove.
  for (const EngineLine& line : engine->drain(300)) ASSERT_NE(line.text.rfind("bestmove", 0), 0u);
  engine->sendLine("stop");
  EXPECT_TRUE(GameBoard().answers(BestMoveOf(bestMove(5000).text)));
  expectNoMoreBestMoves();
  // And the next search runs with them.
  engine->sendLine("position startpos");
  engine->sendLine("go depth 4");
  EXPECT_TRUE(GameBoard().answers(BestMoveOf(bestMove(20000).text)));
}

TEST_F(UciSession, MoveTimeSearchesStopAtTheirBudget) {
  int moves = 200 / Rounds;
  std::vector<i64> own;
  std::vector<std::string> game = RandomGame(40, 3);
  for (int i = 0; i < moves; ++i) {
    std::string line = "position startpos moves";
    for (int p = 0; p < i % 40; ++p) line += " " + game[static_cast<size_t>(p)];
    engine->sendLine(line);
    i64 sent = DriverNowMs();
    engine->sendLine("go movetime 100");
    std::vector<EngineLine> seen;
    EngineLine best = bestMove(5000, &seen);
    EXPECT_LE(best.atMs - sent, 100 + AnswerBoundMs);
    // The engine's own count from its start to the move.
    ASSERT_GE(seen.size(), 2u);
    const std::string& summary = seen[seen.size() - 2].text;
    std::size_t at = summary.find(" time ");
    ASSERT_NE(at, std::string::npos) << summary;
    own.push_back(std::atoll(summary.c_str() + at + 6));
  }
  std::sort(own.begin(), own.end());
  // A search that ignored its budget would run to the depth cap; one that keeps it stops
  // before the interface's 100 ms in the middle case, however busy the machine.
  EXPECT_LE(own[own.size() / 2], 100) << "the search stops at its budget";
}

TEST(UciStartUp, WithoutANetworkPathTheProgramStopsWithStatusTen) {
  EngineFolder folder;
  // An ini without nnue_path.
  std::FILE* ini = std::fopen((folder.path() + "/tervik.ini").c_str(), "w");
  std::fputs("Hash=16\n", ini);
  std::fclose(ini);
  EngineProcess engine(folder.path());
  engine.sendLine("uci");
  EXPECT_EQ(engine.waitForExit(10000), 10);
  EXPECT_TRUE(engine.drain(100).empty()) << "nothing on standard output";
}

TEST(UciStartUp, CommandLinesOtherThanOneFrontEndWordStartUci) {
  for (std::vector<std::string> arguments :
       std::vector<std::vector<std::string>>{{}, {"-foo"}, {"-xboard", "x"}, {"uci", "-profile"}}) {
    EngineFolder folder;
    EngineProcess engine(folder.path(), arguments);
    engine.sendLine("uci");
    EXPECT_TRUE(engine.readUntil("uciok", 20000, nullptr)) << engine.errorOutput();
    engine.sendLine("quit");
    EXPECT_EQ(engine.waitForExit(10000), 0);
  }
}

}  // namespace
