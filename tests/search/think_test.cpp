// Think: the book walk and the book move's report, positions without moves, draw claims with
// the repetition window, and resignation; run on the test thread with the worker idle.
#include <gtest/gtest.h>

#include <climits>

#include <mutex>
#include <vector>

#include "board/board_testing.h"
#include "board/fen.h"
#include "board/make_move.h"
#include "board/notation.h"
#include "book/book.h"
#include "config/params.h"
#include "eval/network.h"
#include "protocol/silent_protocol.h"
#include "search/engine.h"
#include "search/game_history.h"
#include "search/root_search.h"
#include "search/think.h"

namespace {

// Records Think's reports; sendResult answers as told (true: XBoard ends the game on it).
class ThinkProtocol final : public SilentProtocol {
 public:
  struct PvReport {
    i64 timeMs;
    i32 depth, selDepth;
    u64 nodes;
    i32 nps, bound, index;
    PVLine line;
  };
  std::vector<PvReport> pvs;
  std::vector<i32> results;
  bool endsGame = false;

  void sendPV(i64 timeMs, i32 depth, i32 selDepth, u64 nodes, i32 nps, i32 bound, i32 index,
              const PVLine* pv) override {
    pvs.push_back({timeMs, depth, selDepth, nodes, nps, bound, index, *pv});
  }
  bool sendResult(i32 code) override {
    results.push_back(code);
    return endsGame;
  }
};

class ThinkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    RegisterParams();
    engine = new Engine(&protocol);
    protocol.engine = engine;
    engine->timeController = &protocol.unlimitedTc;
    engine->maxDepth = 3;
  }
  void TearDown() override {
    delete engine;
    RegisterParams();
  }
  // Thinks as the worker would, holding the engine's mutex while the worker waits.
  bool think() {
    std::lock_guard<std::mutex> lock(engine->thinkMutex);
    return Think(engine);
  }
  void position(const char* fen, std::initializer_list<const char*> moves = {}) {
    std::lock_guard<std::mutex> lock(engine->thinkMutex);
    engine->history->count = 0;
    ASSERT_TRUE(SetFen(engine->board, fen));
    for (const char* move : moves) PushGameMove(engine->history, Mv(move));
  }

  ThinkProtocol protocol;
  Engine* engine = nullptr;
};

int ZeroBits() { return 0; }      // every random bit 0: walk on
int OneBits() { return 1; }       // bit 0 set: take the candidate

TEST(BookChoice, WalksTheSortedCandidatesAgainstTheThreshold) {
  auto percent = [](double p) { return static_cast<i32>(p / 100.0 * BookWeightOne); };
  MoveList list;
  list.count = 3;
  list.scores[0] = percent(60);
  list.scores[1] = percent(55);
  list.scores[2] = percent(40);
  struct Case {
    i32 threshold;
    bool random;
    int (*bits)();
    i32 chosen;
  } cases[] = {
      {48, false, ZeroBits, 0},  // the heaviest above the threshold
      {48, true, OneBits, 0},    // a set bit takes the first
      {48, true, ZeroBits, 1},   // clear bits walk on to the last above the threshold
      {30, true, ZeroBits, 2},   // ... or to the last candidate
      {60, false, ZeroBits, -1}, // the first is not above the threshold: no book move
      {59, false, ZeroBits, 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ChooseBookCandidate(&list, c.threshold, c.random, c.bits), c.chosen)
        << c.threshold << " " << c.random;
  }
  list.count = 0;
  EXPECT_EQ(ChooseBookCandidate(&list, 0, false, ZeroBits), -1);
}

TEST(BookChoice, BookMoveScores) {
  EXPECT_EQ(BookLineScore(536870912), 0);    // 0.5
  EXPECT_EQ(BookLineScore(805306368), 100);  // 0.75
  EXPECT_EQ(BookLineScore(0), -200);
}

TEST_F(ThinkTest, PlaysABookMoveAndReportsItAsAOneMoveLine) {
  // A main book that knows 1.e4 (6 White successes, 4 Black): 55.4 % for White.
  Board after;
  SetFen(&after, StartFen);
  u32 e4 = Mv("e2e4");
  MakeMove(&after, after.squares[MoveFrom(e4)], e4);
  Book& book = engine->bookPair->mainBook;
  book.table = new BookEntry[64]();
  book.capacity = 64;
  *FindBookSlot(&book, after.key) = BookEntry{after.key, 6, 4};
  book.used = 1;

  ASSERT_TRUE(think());
  const PVLine& line = engine->frames[0].line;
  ASSERT_EQ(line.length, 1);
  EXPECT_EQ(line.moves[0], e4);
  EXPECT_EQ(line.score, BookLineScore(594452045));
  ASSERT_EQ(protocol.pvs.size(), 1u);
  const ThinkProtocol::PvReport& r = protocol.pvs[0];
  EXPECT_EQ(r.timeMs, 0);
  EXPECT_EQ(r.depth, 1);
  EXPECT_EQ(r.selDepth, 1);
  EXPECT_EQ(r.nodes, 0u);
  EXPECT_EQ(r.nps, 1);
  EXPECT_EQ(r.bound, 3);
  EXPECT_EQ(r.index, 1);
  EXPECT_EQ(r.line.moves[0], e4);

  // A threshold above the share: the book is consulted but not played.
  book_min_percent = 56;
  ASSERT_TRUE(think());
  EXPECT_EQ(engine->bookCandidates.count, 1);
  EXPECT_GT(SearchNodes(engine), 0u) << "searched instead";
}

TEST_F(ThinkTest, BookThresholdsOfAnyStoredValueTakeAllOrNoMoves) {
  // Black to move, a book that knows 1...e5: the threshold less White's advantage must not
  // overflow whatever the two stored values are.
  position(StartFen, {"e2e4"});
  Board after = *engine->board;
  u32 e5 = Mv("e7e5");
  MakeMove(&after, after.squares[MoveFrom(e5)], e5);
  Book& book = engine->bookPair->mainBook;
  book.table = new BookEntry[64]();
  book.capacity = 64;
  *FindBookSlot(&book, after.key) = BookEntry{after.key, 4, 6};
  book.used = 1;
  struct Case {
    i32 minPercent, whiteAdvantage;
    bool plays;
  } cases[] = {// the moves played from the book first: a search leaves its node count behind
               {INT_MIN, INT_MAX, true}, {-5, 0, true}, {INT_MAX, INT_MIN, false}, {200, 0, false}};
  for (const Case& c : cases) {
    book_min_percent = c.minPercent;
    book_white_advantage = c.whiteAdvantage;
    ASSERT_TRUE(think());
    const PVLine& line = engine->frames[0].line;
    EXPECT_EQ(line.length == 1 && line.moves[0] == e5 && SearchNodes(engine) == 0, c.plays)
        << c.minPercent << " " << c.whiteAdvantage;
  }
}

TEST_F(ThinkTest, EndgamesDoNotConsultTheBook) {
  position("4k3/8/8/8/8/8/8/R3K3 w - - 0 1");
  Board after = *engine->board;
  u32 move = Mv("a1a7");
  MakeMove(&after, after.squares[MoveFrom(move)], move);
  Book& book = engine->bookPair->mainBook;
  book.table = new BookEntry[64]();
  book.capacity = 64;
  *FindBookSlot(&book, after.key) = BookEntry{after.key, 30, 0};
  ASSERT_TRUE(think());
  EXPECT_EQ(engine->bookCandidates.count, 0);
}

TEST_F(ThinkTest, APositionWithoutMovesIsReportedUnlessPondering) {
  struct Case {
    const char* fen;
    u32 ponderMove;
    std::vector<i32> results;
  } cases[] = {
      {"7k/6Q1/6K1/8/8/8/8/8 b - - 0 1", 0, {ResultWhiteWins}},
      {"k7/8/1Q6/8/8/8/8/7K b - - 0 1", 0, {ResultStalemate}},
      {"8/8/8/8/8/1k6/1q6/K7 w - - 0 1", 0, {ResultBlackWins}},
      {"8/8/8/8/8/1k6/1q6/K7 w - - 0 1", Mv("b1a1"), {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.fen);
    position(c.fen);
    engine->ponderMove = c.ponderMove;
    protocol.results.clear();
    EXPECT_FALSE(think());
    EXPECT_EQ(protocol.results, c.results);
  }
}

TEST_F(ThinkTest, RepetitionsAreCountedWithinTheHalfMoveClock) {
  // Knights out and back: the start position again after 4 and 8 plies.
  const char* shuffle[] = {"g1f3", "g8f6", "f3g1", "f6g8", "g1f3", "g8f6", "f3g1", "f6g8"};
  position(StartFen, {shuffle[0], shuffle[1], shuffle[2], shuffle[3]});
  EXPECT_EQ(RepetitionCount(engine), 1) << "the start position itself has no entry";
  position(StartFen, {shuffle[0], shuffle[1], shuffle[2], shuffle[3], shuffle[4], shuffle[5],
                      shuffle[6], shuffle[7]});
  EXPECT_EQ(RepetitionCount(engine), 2);
  // The position after 1.Nf3 three times, the first 8 plies back with the clock at 9.
  position(StartFen, {"g1f3", "g8f6", "f3g1", "f6g8", "g1f3", "g8f6", "f3g1", "f6g8", "g1f3"});
  EXPECT_EQ(RepetitionCount(engine), 3);
  // The position after 1.e3 three times: its first occurrence came with the pawn move, exactly
  // as many plies back as the clock counts, and it counts too.
  position(StartFen, {"e2e3", "g8f6", "g1f3", "f6g8", "f3g1", "g8f6", "g1f3", "f6g8", "f3g1"});
  EXPECT_EQ(engine->board->halfMoveClock, 8);
  EXPECT_EQ(RepetitionCount(engine), 3);
}

TEST_F(ThinkTest, DrawClaimsEndTheGameOnlyWhereTheProtocolEndsIt) {
  struct Case {
    const char* fen;
    std::vector<const char*> moves;
    bool endsGame;
    u32 ponderMove;
    std::vector<i32> results;
    bool plays;
  } cases[] = {
      {StartFen, {"g1f3", "g8f6", "f3g1", "f6g8", "g1f3", "g8f6", "f3g1", "f6g8", "g1f3"}, true, 0,
       {ResultRepetition}, false},
      {StartFen, {"g1f3", "g8f6", "f3g1", "f6g8", "g1f3", "g8f6", "f3g1", "f6g8", "g1f3"}, false, 0,
       {ResultRepetition}, true},
      {StartFen, {"g1f3", "g8f6", "f3g1", "f6g8", "g1f3", "g8f6", "f3g1", "f6g8", "g1f3"}, true,
       Mv("g8f6"), {}, true},
      {"4k3/8/8/8/8/8/8/R3K3 w - - 99 80", {}, true, 0, {}, true},
      {"4k3/8/8/8/8/8/8/R3K3 w - - 100 80", {}, true, 0, {ResultFiftyMoves}, false},
      {"4k3/8/8/8/8/8/8/R3K3 w - - 100 80", {}, false, 0, {ResultFiftyMoves}, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.fen) + " " + std::to_string(c.moves.size()));
    {
      std::lock_guard<std::mutex> lock(engine->thinkMutex);
      engine->history->count = 0;
      ASSERT_TRUE(SetFen(engine->board, c.fen));
      for (const char* move : c.moves) PushGameMove(engine->history, Mv(move));
    }
    protocol.endsGame = c.endsGame;
    protocol.results.clear();
    engine->ponderMove = c.ponderMove;
    EXPECT_EQ(think(), c.plays);
    EXPECT_EQ(protocol.results, c.results);
  }
}

TEST(Resignation, NeedsALosingScoreTimeAndDepth) {
  RegisterParams();
  struct Case {
    i32 score;
    i64 elapsed;
    i32 depth;
    bool resigns;
  } cases[] = {
      {-1000, 2500, 6, true},  {-1000, 2500, 5, false}, {-1000, 2000, 6, false},
      {-999, 2500, 6, false},  {-29599, 2500, 6, true}, {-29600, 2500, 6, false},
      {-29998, 9000, 20, false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(ResignationDue(c.score, c.elapsed, c.depth), c.resigns) << c.score << " " << c.elapsed;
  resign = 500;
  EXPECT_TRUE(ResignationDue(-501, 2001, 6));
  // Any stored value is compared without overflow: below zero resigns at any non-mate
  // score, the largest never.
  resign = INT_MIN;
  EXPECT_TRUE(ResignationDue(29000, 2500, 6));
  resign = -1;
  EXPECT_TRUE(ResignationDue(0, 2500, 6));
  resign = INT_MAX;
  EXPECT_FALSE(ResignationDue(-29599, 2500, 6));
  RegisterParams();
}

}  // namespace
