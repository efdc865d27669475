// The XBoard front end's own texts and numbers: thinking lines in both modes, mate distances,
// result lines and their learning codes, "level" and the moves to go.
#include <gtest/gtest.h>

#include "board/board_testing.h"
#include "board/notation.h"
#include "book/book.h"
#include "protocol/protocol.h"
#include "protocol/xboard.h"

namespace {

PVLine Line(std::initializer_list<const char*> moves, i32 score, u8 flag = 0) {
  PVLine pv{};
  for (const char* text : moves) pv.moves[pv.length++] = Mv(text);
  pv.score = score;
  pv.flag = flag;
  return pv;
}

TEST(XBoardWords, ThinkingLinesOfXBoardMode) {
  PVLine pv = Line({"e2e4", "e7e5"}, 34);
  EXPECT_EQ(XBoardThinkingLine(7, 34, 1209, 48211, &pv), " 7    34    120     48211 e2e4 e7e5 ");
  // Mate scores stay raw; a final line ends in "!".
  PVLine mate = Line({"d1h5"}, 29997, 1);
  EXPECT_EQ(XBoardThinkingLine(12, 29997, 5, 18446744073709551615ull, &mate),
            "12 29997      0 18446744073709551615 d1h5 !");
  PVLine empty = Line({}, -3);
  EXPECT_EQ(XBoardThinkingLine(1, -3, 0, 0, &empty), " 1    -3      0         0 ");
}

TEST(XBoardWords, ConsoleLinesShowSelectiveDepthBoundAndMates) {
  PVLine pv = Line({"e2e4", "e7e5"}, 34);
  EXPECT_EQ(ConsoleThinkingLine(7, 11, 34, 1209, 48211, 3, &pv),
            " 7    34    120     48211 ( 7/11) = e2e4 e7e5 ");
  EXPECT_EQ(ConsoleThinkingLine(7, 11, 34, 1209, 48211, 1, &pv),
            " 7    34    120     48211 ( 7/11) - e2e4 e7e5 ");
  EXPECT_EQ(ConsoleThinkingLine(7, 11, 34, 1209, 48211, 2, &pv),
            " 7    34    120     48211 ( 7/11) + e2e4 e7e5 ");
  PVLine mated = Line({"g8h8"}, -29998, 1);
  EXPECT_EQ(ConsoleThinkingLine(9, 9, -29998, 20, 7, 3, &mated), " 9    #-2      2         7 ( 9/ 9) = g8h8 !");
  // Where the mate band starts.
  EXPECT_EQ(ConsoleThinkingLine(3, 4, 29599, 0, 1, 3, &pv).substr(0, 9), " 3 29599 ");
  EXPECT_EQ(ConsoleThinkingLine(3, 4, 29600, 0, 1, 3, &pv).substr(0, 11), " 3    #200 ");
}

TEST(XBoardWords, MateDistancesAreHalvedTowardMinusInfinity) {
  struct Case {
    i32 score, distance;
  } cases[] = {{29999, 1}, {29998, 1}, {29997, 2}, {29600, 200}, {-30000, -1},
               {-29999, -1}, {-29998, -2}, {-29996, -3}, {-29600, -201}};
  for (const Case& c : cases) EXPECT_EQ(ConsoleMateDistance(c.score), c.distance) << c.score;
}

TEST(XBoardWords, ResultLinesAndTheirCrossedLearningCodes) {
  struct Case {
    i32 code;
    const char* line;
    int learning;
  } cases[] = {
      {ResultRepetition, "1/2-1/2 {Draw by repetition}", LearnDraw},
      {ResultFiftyMoves, "1/2-1/2 {Draw by 50-moves-rule}", LearnDraw},
      {ResultInsufficientMaterial, "1/2-1/2 {Not enough material}", LearnDraw},
      {ResultStalemate, "1/2-1/2 {Stalemate}", LearnDraw},
      {ResultBlackWins, "0-1 {Black mates}", LearnBlackWon},
      {ResultWhiteWins, "1-0 {White mates}", LearnWhiteWon},
      {ResultResign, "resign", 0},
      {0, nullptr, 0},
      {9, nullptr, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.code);
    if (c.line) {
      EXPECT_STREQ(ResultLineOf(c.code), c.line);
    } else {
      EXPECT_EQ(ResultLineOf(c.code), nullptr);
    }
    EXPECT_EQ(LearningCodeOf(c.code), c.learning);
  }
  struct Text {
    const char* text;
    int learning;
  } texts[] = {{"1-0 {White mates}", LearnWhiteWon}, {"0-1 {Black resigns}", LearnBlackWon},
               {"1/2-1/2 {Draw by repetition}", LearnDraw}, {"* {Game aborted}", 0},
               {"", 0}, {"1-0 0-1", LearnBlackWon}};
  for (const Text& t : texts) EXPECT_EQ(LearningCodeOfResultText(t.text), t.learning) << t.text;
}

TEST(XBoardWords, LevelReadsMinutesOrMinutesAndSecondsAndMissingFieldsAreZero) {
  struct Case {
    const char* arguments;
    i32 moves;
    i64 baseMs, incrementMs;
  } cases[] = {
      {"40 5 0", 40, 300000, 0},
      {"40 5:00 0", 40, 300000, 0},
      {"0 2:30 12", 0, 150000, 12000},
      {"0 0:15 0.2", 0, 15000, 0},  // increments are whole seconds
      {"0 1 0.01", 0, 60000, 0},
      {"40 5", 40, 300000, 0},
      {"40", 40, 0, 0},
      {"", 0, 0, 0},
      {"x y z", 0, 0, 0},
      {"-5 -3 -1", 0, 0, 0},
      {"40 99999999999 99999999999", 40, (1 << 20) * 60000ll, (1 << 20) * 1000ll},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.arguments);
    LevelSettings level = ParseLevel(c.arguments);
    EXPECT_EQ(level.moves, c.moves);
    EXPECT_EQ(level.baseMs, c.baseMs);
    EXPECT_EQ(level.incrementMs, c.incrementMs);
  }
}

TEST(XBoardWords, MovesToGoRunsFromTheControlsMovesDownToOne) {
  struct Case {
    i32 levelMoves;
    u32 gamePly, startMove;
    i32 movesToGo;
  } cases[] = {{40, 0, 0, 40}, {40, 1, 0, 40}, {40, 78, 0, 1}, {40, 80, 0, 40},
               {40, 81, 0, 40}, {40, 30, 10, 35}, {0, 57, 3, 0}, {1, 99, 0, 1}};
  for (const Case& c : cases)
    EXPECT_EQ(MovesToGoInControl(c.levelMoves, c.gamePly, c.startMove), c.movesToGo)
        << c.levelMoves << " " << c.gamePly << " " << c.startMove;
}

TEST(XBoardWords, NumbersAreReadLikeStrtol) {
  struct Case {
    const char* text;
    i64 value;
  } cases[] = {{"12", 12}, {"  -7x", -7}, {"+3", 3}, {"", 0}, {"abc", 0}, {"5:30", 5},
               {"99999999999999999999", INT64_MAX}};
  for (const Case& c : cases) EXPECT_EQ(ReadNumber(c.text), c.value) << c.text;
}

}  // namespace
