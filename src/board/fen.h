// Reading and writing positions as FEN text.
#pragma once

#include <string>

#include "board/board.h"

inline constexpr char StartFen[] = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1";

// Piece code of a FEN letter, or Empty when it is none.
u8 FenPieceCode(char letter);

// The first six tokens of the text (separators blank, tab, CR, LF, ';'), joined by blanks.
std::string ExtractFenFields(const char* text);
// Loads the position; on false the board is left as it was.
bool SetFen(Board* board, const char* fen);
std::string GetFen(const Board* board);
