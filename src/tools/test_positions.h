// The test files of the solver and the evaluation test: opening them, lines as read, EPD lines
// with "bm" or "am", records of PGN tag lines, and the solution moves of a position.
#pragma once

#include <cstdio>
#include <string>

#include "board/board.h"

// The file opened for reading, or null when it is missing or its reading fails from the start:
// a folder opens on Linux and fails at its first read. The console commands refuse such a file
// with their message for a missing one before they print anything.
std::FILE* OpenReadableFile(const char* path);
// The next line with its line feed (none on a last line without one); any length. False at
// the end of the file.
bool ReadFileLine(std::FILE* file, std::string* line);
// The line without the CR and LF at its end.
std::string WithoutLineEnd(const std::string& line);

struct TestPosition {
  std::string fen;
  std::string solutionText;  // "bm": blank-separated moves; "am": the one move to avoid
  std::string name;
  bool avoid;
};

enum class EpdLine { Position, Comment, NoOperation, NoSemicolon };

// An EPD line: the FEN fields, "bm" or "am" (the first "bm" wins over any "am"), the solution
// up to the next ";", and as name the rest of the line without its line end and a final ";".
EpdLine ReadEpdLine(const std::string& line, TestPosition* position);

// PGN tag lines: [White "name"], [Black "solution"], and [FEN "..."], which completes a "bm"
// position. Name and solution carry over to the next record when it lacks them.
class PgnTagReader {
 public:
  // True when the line was a [FEN tag: *position is then the record to search. Lines of other
  // tags, too short for their value, or of tags that merely begin alike ([WhiteElo) are passed.
  bool readLine(const std::string& line, TestPosition* position);

 private:
  std::string name_;
  std::string solutionText_;
};

// The solution moves for a position on the board: the text split at every single blank,
// empty pieces included, each piece read as SAN. An unreadable piece holds EmptyMove, which
// matches no move; pieces beyond the capacity are ignored. Returns the number stored.
i32 ParseSolutionMoves(const std::string& text, Board* board, u32* moves, i32 capacity);
