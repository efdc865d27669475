// UCI sessions on what the info lines say of the search: a score that is only a bound says so
// and an exact mate is a real one.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "protocol/uci_session.h"

namespace {

using UciPvSession = UciSession;

std::vector<std::string> Words(const std::string& text) {
  std::istringstream in(text);
  std::vector<std::string> words;
  for (std::string word; in >> word;) words.push_back(word);
  return words;
}

TEST_F(UciPvSession, AScoreThatIsOnlyABoundSaysSoAndExactMatesAreReal) {
  // Black mates in 3. Depth 4 of the search fails low three times and depth 5 fails high three
  // times on the way; those scores were once written as exact mates in 137, 132, 107 and 7.
  start("nnue_path=" + std::string(TERVIK_SOURCE_DIR) + "/nets/gen6.nnue\n");
  engine->sendLine("position fen 8/8/6pk/4P2p/6b1/4P1P1/3q3P/4NK2 b - - 21 59");
  engine->sendLine("go depth 9");
  std::vector<EngineLine> seen;
  EXPECT_EQ(BestMoveOf(bestMove(60000, &seen).text), "d2e2");
  int exactMates = 0;
  for (const EngineLine& line : seen) {
    std::vector<std::string> words = Words(line.text);
    for (std::size_t i = 0; i + 3 < words.size(); ++i) {
      if (words[i] != "score" || words[i + 1] != "mate") continue;
      const std::string& next = words[i + 3];
      if (next == "lowerbound" || next == "upperbound") continue;
      EXPECT_EQ(words[i + 2], "3") << line.text;
      ++exactMates;
    }
  }
  EXPECT_GT(exactMates, 0);
}

}  // namespace
