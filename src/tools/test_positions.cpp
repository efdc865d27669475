// Reading the solver's EPD and PGN-tag files.
#include "tools/test_positions.h"

#include "board/notation.h"

namespace {

// A tag's value starts after the tag, a blank and the opening quote.
constexpr std::size_t NameTagOffset = 8;      // [White " and [Black "
constexpr std::size_t FenTagOffset = 6;       // [FEN "
constexpr std::size_t SolutionOffset = 3;     // "bm " / "am "

// The value of the tag when the line holds it followed by a blank; false otherwise, and for a
// line that ends before the value starts.
bool TagValue(const std::string& line, const char* tag, std::size_t offset, std::string* value) {
  const std::string tagText = tag;
  std::size_t at = line.find(tagText + ' ');
  if (at == std::string::npos) return false;
  std::string text = WithoutLineEnd(line);
  if (text.size() < at + offset) return false;
  text = text.substr(at + offset);
  if (!text.empty() && text.back() == ']') text.pop_back();
  if (!text.empty() && text.back() == '"') text.pop_back();
  *value = text;
  return true;
}

}  // namespace

std::FILE* OpenReadableFile(const char* path) {
  std::FILE* file = std::fopen(path, "r");
  if (!file) return nullptr;
  const int first = std::fgetc(file);
  if (first == EOF && std::ferror(file)) {
    std::fclose(file);
    return nullptr;
  }
  if (first != EOF) std::ungetc(first, file);
  return file;
}

bool ReadFileLine(std::FILE* file, std::string* line) {
  line->clear();
  int c;
  while ((c = std::fgetc(file)) != EOF) {
    *line += static_cast<char>(c);
    if (c == '\n') break;
  }
  return !line->empty();
}

std::string WithoutLineEnd(const std::string& line) {
  std::size_t end = line.size();
  while (end > 0 && (line[end - 1] == '\n' || line[end - 1] == '\r')) --end;
  return line.substr(0, end);
}

EpdLine ReadEpdLine(const std::string& rawLine, TestPosition* position) {
  if (!rawLine.empty() && rawLine[0] == '#') return EpdLine::Comment;
  const std::string line = rawLine.substr(0, rawLine.find('\n'));
  bool avoid = false;
  std::size_t at = line.find("bm");
  if (at == std::string::npos) {
    at = line.find("am");
    avoid = true;
  }
  if (at == std::string::npos) return EpdLine::NoOperation;
  const std::size_t start = at + SolutionOffset;
  const std::size_t semicolon = start <= line.size() ? line.find(';', start) : std::string::npos;
  if (semicolon == std::string::npos) return EpdLine::NoSemicolon;
  position->fen = line.substr(0, at);
  position->solutionText = line.substr(start, semicolon - start);
  position->name = WithoutLineEnd(line.substr(semicolon + 1));
  if (!position->name.empty() && position->name.back() == ';') position->name.pop_back();
  position->avoid = avoid;
  return EpdLine::Position;
}

bool PgnTagReader::readLine(const std::string& line, TestPosition* position) {
  std::string value;
  if (TagValue(line, "[White", NameTagOffset, &value)) {
    name_ = value;
  } else if (TagValue(line, "[Black", NameTagOffset, &value)) {
    solutionText_ = value;
  } else if (TagValue(line, "[FEN", FenTagOffset, &value)) {
    position->fen = value;
    position->solutionText = solutionText_;
    position->name = name_;
    position->avoid = false;
    return true;
  }
  return false;
}

i32 ParseSolutionMoves(const std::string& text, Board* board, u32* moves, i32 capacity) {
  i32 count = 0;
  std::size_t start = 0;
  while (count < capacity) {
    std::size_t blank = text.find(' ', start);
    std::string piece = text.substr(start, blank == std::string::npos ? std::string::npos : blank - start);
    u32 move = EmptyMove;
    if (!ParseSan(&move, piece, board)) move = EmptyMove;
    moves[count++] = move;
    if (blank == std::string::npos) break;
    start = blank + 1;
  }
  return count;
}
