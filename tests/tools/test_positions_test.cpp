// The solver's readers: EPD lines, PGN tag records and solution moves.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "board/fen.h"
#include "board/notation.h"
#include "tools/test_positions.h"

namespace {

constexpr const char* Wac1 = "2rr3k/pp3pp1/1nnqbN1p/3pN3/2pP4/2P3Q1/PPB4P/R4RK1 w - - ";

}  // namespace

TEST(EpdLine, Forms) {
  struct Case {
    std::string line;
    EpdLine kind;
    const char* solution;
    const char* name;
    bool avoid;
  };
  const std::string fen = Wac1;
  const std::vector<Case> cases = {
      {fen + "bm Qg6; id \"WAC.001\";\n", EpdLine::Position, "Qg6", " id \"WAC.001\"", false},
      {fen + "am Qg6; id \"A\";\n", EpdLine::Position, "Qg6", " id \"A\"", true},
      // The first "bm" decides, wherever an "am" stands; the FEN is all before it.
      {fen + "am Nf5; bm Qg6; id \"B\";\n", EpdLine::Position, "Qg6", " id \"B\"", false},
      {fen + "bm Qg6 Nf7+;\n", EpdLine::Position, "Qg6 Nf7+", "", false},
      // The name loses its line end and a final ";", and only where they are.
      {fen + "bm Qg6; id \"C\";\r\n", EpdLine::Position, "Qg6", " id \"C\"", false},
      {fen + "bm Qg6; id \"D\"", EpdLine::Position, "Qg6", " id \"D\"", false},
      {fen + "bm Qg6;", EpdLine::Position, "Qg6", "", false},
      {fen + "bm Qg6\n", EpdLine::NoSemicolon, "", "", false},
      {fen + "bm", EpdLine::NoSemicolon, "", "", false},
      {fen + "c0 \"nothing to find\";\n", EpdLine::NoOperation, "", "", false},
      {"# bm Qg6;\n", EpdLine::Comment, "", "", false},
  };
  for (const Case& c : cases) {
    TestPosition position{"-", "-", "-", false};
    ASSERT_EQ(ReadEpdLine(c.line, &position), c.kind) << c.line;
    if (c.kind != EpdLine::Position) continue;
    EXPECT_EQ(position.fen, c.line.substr(0, c.line.find(c.avoid ? "am" : "bm"))) << c.line;
    EXPECT_EQ(position.solutionText, c.solution) << c.line;
    EXPECT_EQ(position.name, c.name) << c.line;
    EXPECT_EQ(position.avoid, c.avoid) << c.line;
  }
}

TEST(PgnTags, Records) {
  PgnTagReader reader;
  TestPosition position;
  struct Step {
    const char* line;
    bool complete;
    const char* fen;
    const char* solution;
    const char* name;
  };
  const std::vector<Step> steps = {
      {"[Event \"x\"]\n", false, "", "", ""},
      {"[White \"First\"]\n", false, "", "", ""},
      {"[WhiteElo \"2700\"]\n", false, "", "", ""},
      {"[Black \"Qg6\"]\r\n", false, "", "", ""},
      {"[BlackElo \"2600\"]\n", false, "", "", ""},
      {"[FEN \"8/8/8/8/8/8/8/K1k5 w - - 0 1\"]\n", true, "8/8/8/8/8/8/8/K1k5 w - - 0 1", "Qg6",
       "First"},
      // Too short for a value: passed over. The next record keeps name and solution.
      {"[White \n", false, "", "", ""},
      {"[FEN \r\n", false, "", "", ""},
      {"1. e4 e5\n", false, "", "", ""},
      {"[FEN \"8/8/8/8/8/8/8/k1K5 b - - 0 1\"]", true, "8/8/8/8/8/8/8/k1K5 b - - 0 1", "Qg6",
       "First"},
  };
  for (const Step& step : steps) {
    position = TestPosition{};
    ASSERT_EQ(reader.readLine(step.line, &position), step.complete) << step.line;
    if (!step.complete) continue;
    EXPECT_EQ(position.fen, step.fen);
    EXPECT_EQ(position.solutionText, step.solution);
    EXPECT_EQ(position.name, step.name);
    EXPECT_FALSE(position.avoid);
  }
}

TEST(SolutionMoves, SplitAtEveryBlank) {
  Board board;
  ASSERT_TRUE(SetFen(&board, StartFen));
  u32 moves[10];
  // An empty piece and an unreadable one hold no move; the count includes them.
  ASSERT_EQ(ParseSolutionMoves("e4  Nf3 Zz9", &board, moves, 10), 4);
  EXPECT_EQ(MoveToText(moves[0]), "e2e4");
  EXPECT_EQ(moves[1], EmptyMove);
  EXPECT_EQ(MoveToText(moves[2]), "g1f3");
  EXPECT_EQ(moves[3], EmptyMove);
  // Pieces beyond the capacity are ignored, not stored past it.
  u32 guarded[11];
  guarded[10] = 12345;
  EXPECT_EQ(ParseSolutionMoves("a3 a4 b3 b4 c3 c4 d3 d4 e3 e4 f3 f4", &board, guarded, 10), 10);
  EXPECT_EQ(MoveToText(guarded[9]), "e2e4");
  EXPECT_EQ(guarded[10], 12345u);
}

TEST(FileLines, AnyLengthWithTheirLineEnd) {
  std::FILE* file = std::tmpfile();
  const std::string longLine(1000, 'x');
  std::fputs((longLine + "\nsecond\r\nlast").c_str(), file);
  std::rewind(file);
  std::string line;
  std::vector<std::string> lines;
  while (ReadFileLine(file, &line)) lines.push_back(line);
  std::fclose(file);
  EXPECT_EQ(lines, (std::vector<std::string>{longLine + "\n", "second\r\n", "last"}));
  EXPECT_EQ(WithoutLineEnd("second\r\n"), "second");
}
