// "evaltest" and "nnue" on small files.
#include <gtest/gtest.h>

#include <string>

#include "console_fixture.h"
#include "eval/network_fixture.h"
#include "eval/network.h"
#include "tools/eval_diagnostics.h"

namespace {

using console_testing::ConsoleFixture;

class EvalDiagnostics : public ConsoleFixture {};

const std::string Separator = "\r\n" + std::string(57, '=') + "\r\n";

}  // namespace

// Material scores at eval_material 64: a knight up, a rook down for Black to move, level.
TEST_F(EvalDiagnostics, EvalTestTable) {
  const std::string file =
      fixture("labels.txt",
              "4k3/8/8/8/8/8/8/3NK3 w - - 0 1;knight up, nineteen c\n"
              "4k3/8/8/8/8/8/8/3RK3 b - - 0 1;a label longer than thirty characters\r\n"
              "no semicolon here\n"
              "8/8/8/8 w - - 0 1;broken\n"
              "4k3/8/8/8/8/8/8/4K3 w - - 0 1;last line, no line feed");
  run("evaltest", file + " 5");
  EXPECT_EQ(out.take(),
            "4k3/8/8/8/8/8/8/3NK3 w - - 0 1;knight up, nineteen c\n"
            "4k3/8/8/8/8/8/8/3RK3 b - - 0 1;a label longer than thirty characters\r\n"
            "no semicolon here\n\";\" expected !\r\n"
            "8/8/8/8 w - - 0 1;broken\nInvalid FEN in line 4, position skipped: 8/8/8/8 w - - 0 1\r\n"
            "4k3/8/8/8/8/8/8/4K3 w - - 0 1;last line, no line feed" +
                Separator +
                "knight up, nineteen c         : 3.05\r\n"
                "a label longer than thirty cha: -5.00\r\n"
                "last line, no line feed       : 0.00\r\n" +
                Separator);
  EXPECT_EQ(engine->board->pieceCount[White], 1u);  // the board holds the last position

  run("evaltest", fixture("empty.txt", ""));
  EXPECT_EQ(out.take(), Separator + Separator);
  run("evaltest", "/nonexistent/labels.txt");
  EXPECT_EQ(err.take(), "Kann Datei /nonexistent/labels.txt nicht laden !\r\n");
  EXPECT_EQ(out.take(), "");
}

TEST_F(EvalDiagnostics, EvalTestStopsAtItsCapacity) {
  std::string content;
  for (int i = 0; i <= EvalTestCapacity; ++i) content += "4k3/8/8/8/8/8/8/4K3 w - - 0 1;p\n";
  const std::string file = fixture("many.txt", content);
  run("evaltest", file);
  const std::string text = out.take();
  EXPECT_NE(text.find("Only 4000 positions are evaluated: the rest of " + file + " is skipped !\r\n"),
            std::string::npos);
  std::size_t rows = 0;
  for (std::size_t at = 0; (at = text.find("p                             : 0.00\r\n", at)) != std::string::npos; ++at)
    ++rows;
  EXPECT_EQ(rows, 4000u);
}

TEST_F(EvalDiagnostics, Nnue) {
  ASSERT_EQ(ReadNetwork(ShippedNetworkPath().c_str(), &Network).status, 0);
  const std::string file = fixture("fens.epd",
                                   "# comment\n"
                                   "4k3/8/8/8/8/8/8/3NK3 w - - 0 1\n"
                                   "8/8/8/8 w - -\n");
  run("nnue", "--epd  " + file);
  const std::string text = out.take();
  EXPECT_EQ(text.substr(6), "  4k3/8/8/8/8/8/8/3NK3 w - - 0 1\n");
  EXPECT_EQ(text.find("comment"), std::string::npos);
  EXPECT_EQ(err.take(), "nnue: ungültige FEN: 8/8/8/8 w - -\r\n");

  run("nnue", StartFen);
  EXPECT_EQ(out.take().substr(6), std::string("  ") + StartFen + "\n");
  for (const char* argument : {"--epd", "--epd ", "--epd /nonexistent/fens.epd"}) {
    run("nnue", argument);
    const std::string name = std::string(argument).size() > 6 ? std::string(argument).substr(6) : "";
    EXPECT_EQ(err.take(), "nnue: Kann " + name + " nicht oeffnen !\r\n") << argument;
  }

  const u16 loaded = Network.loaded;
  Network.loaded = 0;
  run("nnue", StartFen);
  run("nnue", "--epd " + file);
  Network.loaded = loaded;
  EXPECT_EQ(out.take(), "");
  EXPECT_EQ(err.take(), "nnue: kein Netz geladen (nnue_path in tervik.ini setzen) !\r\n"
                        "nnue: kein Netz geladen (nnue_path in tervik.ini setzen) !\r\n");
}
