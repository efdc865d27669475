// Protocol line input and output and the command loop.
#include "protocol/command_loop.h"

#include <cstdlib>
#include <mutex>

#include "protocol/protocol.h"

std::FILE* ProtocolInput = stdin;
std::FILE* ProtocolOutput = stdout;

static std::mutex OutputMutex;

void WriteProtocolText(const std::string& text) {
  std::lock_guard<std::mutex> lock(OutputMutex);
  std::fwrite(text.data(), 1, text.size(), ProtocolOutput);
}

void WriteProtocolLine(const std::string& text) {
  std::string line = text;
  line += '\n';
  std::lock_guard<std::mutex> lock(OutputMutex);
  std::fwrite(line.data(), 1, line.size(), ProtocolOutput);
  std::fflush(ProtocolOutput);
}

bool ReadProtocolLine(std::FILE* in, std::string* line) {
  line->clear();
  int c;
  while ((c = std::getc(in)) != EOF && c != '\n') *line += static_cast<char>(c);
  // A last line without its line feed still counts; nothing at all is the end.
  if (c == EOF && (line->empty() || std::ferror(in))) return false;
  // Interfaces that end lines with CR LF are understood like the others.
  if (!line->empty() && line->back() == '\r') line->pop_back();
  if (line->empty()) line->push_back('\n');
  return true;
}

std::string ReadProtocolLineOrExit() {
  std::string line;
  if (!ReadProtocolLine(ProtocolInput, &line)) {
    // No destructors and no exit handlers: the worker may still be searching on the tables
    // they would release. Both output streams are unbuffered, so nothing is lost.
    std::_Exit(1);
  }
  return line;
}

void Protocol::commandLoop() {
  std::setvbuf(ProtocolOutput, nullptr, _IONBF, 0);
  for (;;) {
    if (!handleCommand(readLine())) return;
  }
}
