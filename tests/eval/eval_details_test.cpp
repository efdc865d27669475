// The evaluation breakdown of "dump" and the network line of "nnue".
#include <gtest/gtest.h>

#include <cinttypes>
#include <string>

#include "board/fen.h"
#include "eval/eval_details.h"
#include "network_fixture.h"

namespace {

std::string Details(const char* fen) {
  Board board;
  EXPECT_TRUE(SetFen(&board, fen)) << fen;
  return FormatEvalDetails(&board);
}

u64 KeyOf(const char* fen) {
  Board board;
  SetFen(&board, fen);
  return board.key;
}

// What the two streams of NnuePrintFen received.
struct NnueLine {
  std::string out;
  std::string err;
};

std::string Contents(std::FILE* file) {
  std::rewind(file);
  std::string text;
  for (int c; (c = std::fgetc(file)) != EOF;) text += static_cast<char>(c);
  std::fclose(file);
  return text;
}

NnueLine PrintFen(const char* line) {
  std::FILE* out = std::tmpfile();
  std::FILE* err = std::tmpfile();
  NnuePrintFen(line, out, err);
  return {Contents(out), Contents(err)};
}

}  // namespace

TEST(EvalDetails, StartPosition) {
  char key[32];
  std::snprintf(key, sizeof key, "%" PRIu64, KeyOf(StartFen));
  EXPECT_EQ(Details(StartFen), std::string("Opening:\r\nHC: ") + key +
                                   "\r\n"
                                   "Hangscore WHITE: 0\r\n"
                                   "Hangscore BLACK: 0\r\n"
                                   "BB Hanging WHITE: 0\r\n"
                                   "BB Hanging BLACK: 0\r\n"
                                   "r n b q k b n r \r\n"
                                   "p p p p p p p p \r\n"
                                   ". . . . . . . . \r\n"
                                   ". . . . . . . . \r\n"
                                   ". . . . . . . . \r\n"
                                   ". . . . . . . . \r\n"
                                   "P P P P P P P P \r\n"
                                   "R N B Q K B N R \r\n");
}

// A white knight on e4 (square 35) taken by the d5 pawn and defended by nothing; in the
// endgame a black rook on a1 (square 0) that the white king attacks from b2.
TEST(EvalDetails, HangingPieces) {
  std::string text = Details("4k3/8/8/3p4/4N3/8/8/4K3 w - - 0 1");
  EXPECT_NE(text.find("Hangscore WHITE: 305\r\nHangscore BLACK: 0\r\n"), std::string::npos) << text;
  EXPECT_NE(text.find("BB Hanging WHITE: 800000000\r\nBB Hanging BLACK: 0\r\n"), std::string::npos)
      << text;
  text = Details("4k3/8/8/8/8/8/1K6/r7 w - - 0 1");
  EXPECT_EQ(text.rfind("Endgame:\r\n", 0), 0u) << text;
  EXPECT_NE(text.find("Hangscore BLACK: 500\r\n"), std::string::npos) << text;
  EXPECT_NE(text.find("BB Hanging BLACK: 1\r\n"), std::string::npos) << text;
}

TEST(NnuePrintFen, RawOutputAndRefusals) {
  const i64 unit = 181 * 181 * 64;  // one centipawn of raw output
  InstallBiasNetwork(5 * unit);
  // Only the six FEN fields of an EPD line are read and printed; bare kings, which the
  // evaluation calls a draw, show the network's own output.
  NnueLine line = PrintFen("8/8/8/8/8/8/8/K1k5 w - - 0 1 bm Kb1; id \"x\";\n");
  EXPECT_EQ(line.out, "    +5  8/8/8/8/8/8/8/K1k5 w - - 0 1\n");
  EXPECT_EQ(line.err, "");
  InstallBiasNetwork(-123 * unit);
  EXPECT_EQ(PrintFen(StartFen).out, std::string("  -123  ") + StartFen + "\n");

  line = PrintFen("8/8/8/8/8/8/8/8 w - - 0 1");
  EXPECT_EQ(line.out, "");
  EXPECT_EQ(line.err, "nnue: ungültige FEN: 8/8/8/8/8/8/8/8 w - - 0 1\r\n");
  line = PrintFen("   \n");
  EXPECT_EQ(line.out + line.err, "");
}
