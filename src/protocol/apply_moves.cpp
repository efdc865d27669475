// The move-list walk of ApplyMoves.
#include "protocol/apply_moves.h"

#include "board/movegen.h"
#include "board/notation.h"
#include "protocol/protocol.h"
#include "search/engine.h"
#include "search/game_history.h"

static bool IsMoveSeparator(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::vector<std::string> ApplyMoves(Protocol* protocol, const std::string& moves) {
  std::vector<std::string> skipped;
  Engine* engine = protocol->engine;
  std::size_t pos = 0;
  while (pos < moves.size()) {
    if (IsMoveSeparator(moves[pos])) {
      ++pos;
      continue;
    }
    std::size_t end = pos;
    while (end < moves.size() && !IsMoveSeparator(moves[end])) ++end;
    std::string token = moves.substr(pos, end - pos);
    pos = end;
    u32 move = 0;
    if (ParseCoordinateMove(&move, token) && IsLegalMove(engine->board, move)) {
      PushGameMove(engine->history, move);
    } else {
      skipped.push_back(token);
    }
  }
  return skipped;
}
