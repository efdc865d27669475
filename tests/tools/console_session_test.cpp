// The console through the real program: "tervik -xboard" before the "xboard" command, each
// console command once on small files in its working folder, with what it writes on standard
// output and standard error; after "xboard" the console-only words are unknown.
#include <fstream>
#include <string>
#include <vector>

#include <sys/stat.h>

#include "protocol/xboard_session.h"
#include "tools/console_fixture.h"

namespace {

using console_testing::Lines;
using console_testing::MatchesPattern;

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool BenchmarkRuns = false;  // "tests" searches the benchmark to depth 9
#else
constexpr bool BenchmarkRuns = true;
#endif
// "tests" counts perft and searches the benchmark: seconds in the release build.
constexpr int SelfTestBoundMs = 300000;

class ConsoleSession : public XBoardSessionBase {
 public:
  void SetUp() override { start("", false); }

  void file(const std::string& name, const std::string& content) {
    std::ofstream(folder->path() + "/" + name, std::ios::binary) << content;
  }

  // The standard output of the command (every line before the answer to a ping, which the
  // interpreter reads once the command is done) and its standard error.
  struct Output {
    std::vector<std::string> out;
    std::string err;
  };
  Output run(const std::string& command, int boundMs = SearchBoundMs) {
    send(command);
    const std::string pong = "pong " + std::to_string(1000000 + ++pings);
    send("ping " + pong.substr(5));
    std::vector<EngineLine> lines;
    EXPECT_TRUE(engine->readUntil(pong, boundMs, nullptr, &lines)) << command << engine->errorOutput();
    Output output;
    for (std::size_t i = 0; i + 1 < lines.size(); ++i) output.out.push_back(lines[i].text);
    const std::string err = engine->errorOutput();
    output.err = err.substr(errorSeen);
    errorSeen = err.size();
    return output;
  }

  std::size_t errorSeen = 0;
};

// The solver's lines without the thinking lines the console shows during its searches.
std::string Report(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines)
    if (!IsThinkingLine(line)) text += line + "\n";
  return text;
}

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

}  // namespace

TEST_F(ConsoleSession, EveryCommandOnce) {
  file("three.epd",
       "6k1/5ppp/8/8/8/8/8/R3K3 w - - bm Ra8#; id \"mate\";\n"
       "4k3/8/2p5/3p4/8/8/8/3QK3 w - - am Qxd5; id \"avoid\";\n"
       "4k3/8/8/8/3q4/8/8/3RK3 w - - bm Ke2; id \"miss\";\n");
  file("two.pgn",
       "[White \"P1\"]\n[Black \"Rxd4\"]\n[FEN \"4k3/8/8/8/3q4/8/8/3RK3 w - - 0 1\"]\n\n"
       "[White \"P2\"]\n[WhiteElo \"2500\"]\n[FEN \"4k3/8/8/8/3q4/8/3R4/4K3 w - - 0 1\"]\n");
  file("labels.txt", "4k3/8/8/8/8/8/8/3QK3 w - - 0 1;queen\r\n4k3/8/8/8/8/8/8/4K3 b - - 0 1;bare\n");
  file("bad.epd", "8/8/8/8/8/8/8/K1k5 w - - 0 1\n8/8/8 w - - 0 1\n");
  errorSeen = engine->errorOutput().size();  // the network's loaded message

  Output o = run("perft 2");
  ASSERT_EQ(o.out.size(), 1u);
  EXPECT_TRUE(MatchesPattern(o.out[0], " 2 : 400.000000 #.#s #nps\r")) << o.out[0];
  o = run("perft 15");
  EXPECT_TRUE(o.out.empty());
  EXPECT_EQ(o.err, "perft: the depth must be 1 to 14 !\r\n");

  o = run("moves");
  EXPECT_TRUE(o.out.empty());
  EXPECT_EQ(std::count(o.err.begin(), o.err.end(), '('), 20) << o.err;
  EXPECT_EQ(run("qsmoves").err, "\r\n");
  o = run("eval moves e2e4");
  EXPECT_TRUE(MatchesPattern(o.err, "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3 0 1\r\n"
                                    "Material      : 4060, 4060\r\nKingDanger    : 0, 0\r\nEval: #\r\n"))
      << o.err;

  o = run("dump");
  ASSERT_EQ(o.out.size(), 16u);  // the FEN, the breakdown's 14 lines and writeLine's line end
  EXPECT_EQ(o.out[0], "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3 0 1");
  EXPECT_EQ(o.out[1], "Opening:\r");
  EXPECT_EQ(o.out[14], "R N B Q K B N R \r");
  EXPECT_EQ(o.out[15], "");

  EXPECT_EQ(run("book").err, "No moves in book !\r\n");
  EXPECT_EQ(run("lbook").err, "No moves in book !\r\n");
  EXPECT_EQ(run("dbook").err, "No moves in book !\r\n");
  o = run("clearhash");
  EXPECT_TRUE(o.out.empty());
  EXPECT_EQ(o.err, "");

  o = run("evaltest labels.txt");
  const std::string separator = std::string(57, '=') + "\r";
  ASSERT_EQ(o.out.size(), 8u);
  EXPECT_EQ(o.out[0], "4k3/8/8/8/8/8/8/3QK3 w - - 0 1;queen\r");
  EXPECT_EQ(o.out[3], separator);
  EXPECT_TRUE(MatchesPattern(o.out[4], "queen                         : #.#\r")) << o.out[4];
  EXPECT_TRUE(MatchesPattern(o.out[5], "bare                          : #.#\r")) << o.out[5];
  EXPECT_EQ(o.out[7], separator);

  o = run("nnue 4k3/8/8/8/8/8/8/3QK3 w - - 0 1");
  ASSERT_EQ(o.out.size(), 1u);
  EXPECT_TRUE(MatchesPattern(o.out[0], "#  4k3/8/8/8/8/8/8/3QK3 w - - 0 1")) << o.out[0];
  o = run("nnue --epd bad.epd");
  ASSERT_EQ(o.out.size(), 1u);
  EXPECT_TRUE(MatchesPattern(o.out[0], "#  8/8/8/8/8/8/8/K1k5 w - - 0 1")) << o.out[0];
  EXPECT_EQ(o.err, "nnue: ungültige FEN: 8/8/8 w - - 0 1\r\n");

  std::string report = Report(run("solve three.epd 1").out);
  EXPECT_TRUE(Has(report, " id \"mate\" (Ra8#) solved after 0 sec : a1a8 !\r\n")) << report;
  EXPECT_TRUE(Has(report, " id \"avoid\" (Qxd5) solved after 0 sec : ")) << report;
  EXPECT_TRUE(Has(report, "!!!  id \"miss\" (Ke2) not solved after ")) << report;
  EXPECT_TRUE(Has(report, std::string(64, '=') + "\r\n2/3 solved.\r\nNot solved:  id \"miss\", \r\n"))
      << report;
  report = Report(run("solve two.pgn 1").out);
  EXPECT_TRUE(Has(report, "P1 (Rxd4) solved after 0 sec : d1d4 ")) << report;
  EXPECT_TRUE(Has(report, "P2 (Rxd4) solved after 0 sec : d2d4 ")) << report;
  EXPECT_TRUE(Has(report, "\r\n2/2 solved.\r\n")) << report;

  if (BenchmarkRuns) {
    o = run("tests", SelfTestBoundMs);
    // Standard output has the benchmark's thinking lines and nothing else.
    EXPECT_FALSE(o.out.empty());
    for (const std::string& line : o.out) EXPECT_TRUE(IsThinkingLine(line)) << line;
    const std::vector<std::string> err = Lines(o.err);
    ASSERT_EQ(err.size(), 27u);
    for (int i = 1; i < 10; i += 2) EXPECT_TRUE(MatchesPattern(err[i], "perft(#) = # in # ms OK\r")) << err[i];
    EXPECT_EQ(err[24].rfind("nodes: \t ", 0), 0u);
    EXPECT_TRUE(MatchesPattern(err[26], "full # part #\r")) << err[26];
  }

  // The solver left the depth limit at 60.
  send("st 1");
  send("go");
  move();
  EXPECT_TRUE(Has(engine->errorOutput().substr(errorSeen), "Think limits: 60 ply, ")) << engine->errorOutput();
  errorSeen = engine->errorOutput().size();
  send("force");

  // After "xboard" only the book listings and the dump are left.
  send("xboard");
  for (const char* word : {"perft", "tests", "moves", "qsmoves", "evaltest", "nnue", "eval",
                           "solve", "clearhash"}) {
    EXPECT_EQ(run(std::string(word) + " 1").out,
              std::vector<std::string>{std::string("Error (unknown command): ") + word});
  }
  EXPECT_EQ(run("book").err, "No moves in book !\r\n");
  EXPECT_EQ(run("dump").out.size(), 16u);
  send("quit");
  EXPECT_EQ(engine->waitForExit(AnswerBoundMs * 5), 0);
}

// A file the command cannot read gets the message of a missing one and nothing else on either
// stream: also a folder, which opens for reading on Linux, and a file whose first read fails
// (the engine's own memory at address 0), both refused as root too.
TEST_F(ConsoleSession, FilesThatCannotBeReadAreRefusedLikeMissingOnes) {
  file("plain.txt", "4k3/8/8/8/8/8/8/3QK3 w - - 0 1;queen\n");
  ASSERT_EQ(::mkdir((folder->path() + "/suite.epd").c_str(), 0755), 0);
  written();  // the network's loaded message comes before the answer
  errorSeen = engine->errorOutput().size();

  for (const char* path : {"missing.epd", "suite.epd", ".", "plain.txt/child", "/proc/self/mem"}) {
    const std::string name = path;
    const struct {
      std::string command, message;
    } cases[] = {
        {"solve " + name + " 1", "Kann Datei " + name + " nicht laden !\r\n"},
        {"evaltest " + name, "Kann Datei " + name + " nicht laden !\r\n"},
        {"nnue --epd " + name, "nnue: Kann " + name + " nicht oeffnen !\r\n"},
    };
    for (const auto& c : cases) {
      const Output o = run(c.command);
      EXPECT_TRUE(o.out.empty()) << c.command << ": " << o.out.front();
      EXPECT_EQ(o.err, c.message) << c.command;
    }
  }

  // An empty suite: the bare summary, every figure without a divisor 0.
  file("empty.epd", "");
  const Output o = run("solve empty.epd 1");
  std::string report;
  for (const std::string& line : o.out) report += line + "\n";
  EXPECT_EQ(o.err, "");
  EXPECT_TRUE(Has(report, "\r\n0/0 solved.\r\nNot solved: \r\n")) << report;
  EXPECT_TRUE(Has(report, "Total NPS              : 0.00 n/sek\r\n")) << report;
  EXPECT_TRUE(Has(report, "           (0.00%, 0.00%, 0.00%)\r\n")) << report;
  for (const char* word : {"nan", "NAN", "inf", "INF"}) EXPECT_FALSE(Has(report, word)) << report;
  send("quit");
  EXPECT_EQ(engine->waitForExit(AnswerBoundMs * 5), 0);
}
