// Move text: coordinate notation out and in, standard algebraic notation in.
#pragma once

#include <string>

#include "board/board.h"

std::string MoveToText(const u32& move);
bool IsCoordinateMove(const std::string& text);
// Writes bits 0-15 of *move on success; leaves it unchanged on failure.
bool ParseCoordinateMove(u32* move, const std::string& text);
// Strips "#", "+", "!" and "?" from the caller's text, then parses SAN for the side to move.
bool ParseSan(u32* move, std::string& text, Board* board);
bool ParseSanPieceMove(u32* move, const std::string& text, Board* board);
bool ParsePawnSan(u32* move, const std::string& text, Board* board);
// Erases every occurrence of the pattern.
void RemoveAll(const char* pattern, std::string& text);
