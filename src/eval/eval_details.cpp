// The evaluation breakdown of "dump" and the network diagnostic of "nnue".
#include "eval/eval_details.h"

#include <bit>
#include <cinttypes>

#include "board/fen.h"
#include "eval/accumulator.h"
#include "eval/nnue.h"
#include "eval/see.h"

namespace {

constexpr const char* PhaseNames[4] = {"Opening:", "Middlegame:", "Early endgame:", "Endgame:"};

}  // namespace

std::string FormatEvalDetails(const Board* board) {
  const u64 hanging[2] = {HangingPieces(board, White), HangingPieces(board, Black)};
  char text[128];
  std::string out = board->phase < 4 ? PhaseNames[board->phase] : "";
  out += "\r\n";
  std::snprintf(text, sizeof text, "HC: %" PRIu64 "\r\n", board->key);
  out += text;
  std::snprintf(text, sizeof text, "Hangscore WHITE: %d\r\nHangscore BLACK: %d\r\n",
                HangingValue(board, White), HangingValue(board, Black));
  out += text;
  std::snprintf(text, sizeof text, "BB Hanging WHITE: %" PRIx64 "\r\nBB Hanging BLACK: %" PRIx64 "\r\n",
                hanging[White], hanging[Black]);
  out += text;
  for (i32 rank = 7; rank >= 0; --rank) {
    for (u32 file = 0; file < 8; ++file) {
      u8 piece = board->squares[MakeSquare(file, static_cast<u32>(rank))];
      out += PieceLetters[piece < Empty ? piece : static_cast<u8>(Empty)];
      out += ' ';
    }
    out += "\r\n";
  }
  return out;
}

void NnuePrintFen(const char* line, std::FILE* out, std::FILE* err) {
  const std::string fen = ExtractFenFields(line);
  if (fen.empty()) return;
  Board board;
  if (!SetFen(&board, fen.c_str())) {
    std::fprintf(err, "nnue: ungültige FEN: %s\r\n", fen.c_str());
    return;
  }
  Accumulator accumulator;
  RefreshAccumulator(&board, &accumulator);
  std::fprintf(out, "%+6d  %s\n", NnueRawOutput(&accumulator, SideToMove(&board)), fen.c_str());
}
