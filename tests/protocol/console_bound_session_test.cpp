// The console's thinking lines with the real program: the bound column shows what a score is
// worth, so that an exact mate shown "=" is a real one.
#include <string>
#include <vector>

#include "protocol/xboard_session.h"

namespace {

using ConsoleBoundSession = XBoardSessionBase;

TEST_F(ConsoleBoundSession, FailedWindowsAreMarkedAsBoundsAndExactMatesAreReal) {
  // Black mates in 3; depth 4 and 5 pass through windows that fail (see the UCI session).
  start(ShippedNetworkIni(), false);
  send("setboard 8/8/6pk/4P2p/6b1/4P1P1/3q3P/4NK2 b - - 21 59");
  send("sd 6");
  send("go");
  std::vector<EngineLine> seen;
  EXPECT_EQ(move(SearchBoundMs, &seen), "d2e2");
  int exactMates = 0, bounds = 0;
  for (const EngineLine& line : seen) {
    if (!IsThinkingLine(line.text)) continue;
    // The header ends with "(depth/seldepth) ", then the bound column.
    std::size_t header = line.text.find(") ");
    ASSERT_NE(header, std::string::npos) << line.text;
    const std::string bound = line.text.substr(header + 2, 2);
    ASSERT_TRUE(bound == "= " || bound == "+ " || bound == "- ") << line.text;
    if (bound != "= ") {
      ++bounds;
      continue;
    }
    std::size_t mate = line.text.find('#');
    if (mate == std::string::npos) continue;
    EXPECT_EQ(line.text.substr(mate, 3), "#3 ") << line.text;
    ++exactMates;
  }
  EXPECT_GT(exactMates, 0);
  EXPECT_GT(bounds, 0);
}

}  // namespace
