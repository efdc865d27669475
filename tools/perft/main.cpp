// tervik-perft: runs perft over a file of positions with known counts (lines "FEN ;D1 n ;D2 n"),
// or counts one position, and reports the speed.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "board/board.h"
#include "board/fen.h"
#include "board/perft.h"

namespace {

void PrintUsage() {
  std::fprintf(stderr,
               "usage: tervik-perft FILE [MAXDEPTH]      check the counts of every line \"FEN ;D1 n ;D2 n ...\"\n"
               "       tervik-perft --fen \"FEN\" DEPTH    print the count of one position\n"
               "depths run from 1 to %u\n",
               PerftMaxDepth);
}

double Seconds(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// A decimal number without sign or trailing characters.
bool ReadUnsigned(const std::string& text, u64* value) {
  if (text.empty() || text.size() > 19) return false;
  u64 result = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    result = result * 10 + static_cast<u64>(c - '0');
  }
  *value = result;
  return true;
}

bool ReadDepth(const char* text, u32* depth, u32 minimum) {
  u64 value;
  if (!ReadUnsigned(text, &value) || value < minimum || value > PerftMaxDepth) return false;
  *depth = static_cast<u32>(value);
  return true;
}

std::string Trim(const std::string& text) {
  size_t first = text.find_first_not_of(" \t\r\n");
  if (first == std::string::npos) return "";
  size_t last = text.find_last_not_of(" \t\r\n");
  return text.substr(first, last - first + 1);
}

struct Expected {
  u32 depth;
  u64 nodes;
};

// The FEN before the first ';' and the "Dn count" entries after it.
bool ParseLine(const std::string& line, std::string* fen, std::vector<Expected>* expected,
               std::string* problem) {
  size_t semicolon = line.find(';');
  if (semicolon == std::string::npos) {
    *problem = "no \";D1 n\" entries";
    return false;
  }
  *fen = Trim(line.substr(0, semicolon));
  size_t at = semicolon;
  while (at != std::string::npos) {
    size_t next = line.find(';', at + 1);
    std::string entry = Trim(line.substr(at + 1, next == std::string::npos ? std::string::npos : next - at - 1));
    at = next;
    if (entry.empty()) continue;
    size_t blank = entry.find_first_of(" \t");
    u64 depth, nodes;
    if (entry[0] != 'D' || blank == std::string::npos || !ReadUnsigned(entry.substr(1, blank - 1), &depth) ||
        !ReadUnsigned(Trim(entry.substr(blank)), &nodes)) {
      *problem = "cannot read the entry \"" + entry + "\"";
      return false;
    }
    if (depth < 1 || depth > PerftMaxDepth) {
      *problem = "depth " + std::to_string(depth) + " outside 1.." + std::to_string(PerftMaxDepth);
      return false;
    }
    expected->push_back({static_cast<u32>(depth), nodes});
  }
  if (expected->empty()) {
    *problem = "no \";D1 n\" entries";
    return false;
  }
  return true;
}

int RunFile(const char* path, u32 maxDepth) {
  std::ifstream file(path);
  if (!file) {
    std::fprintf(stderr, "tervik-perft: cannot open %s\n", path);
    return 1;
  }
  Board board;
  int passed = 0, failed = 0;
  u64 totalNodes = 0;
  auto start = std::chrono::steady_clock::now();
  std::string line;
  for (int lineNumber = 1; std::getline(file, line); ++lineNumber) {
    std::string trimmed = Trim(line);
    if (trimmed.empty() || trimmed[0] == '#') continue;
    std::string fen, problem;
    std::vector<Expected> expected;
    if (!ParseLine(trimmed, &fen, &expected, &problem)) {
      std::printf("%s:%d: unreadable line: %s\n", path, lineNumber, problem.c_str());
      ++failed;
      continue;
    }
    if (!SetFen(&board, fen.c_str())) {
      std::printf("%s:%d: unreadable FEN \"%s\"\n", path, lineNumber, fen.c_str());
      ++failed;
      continue;
    }
    std::string report = fen;
    bool ok = true;
    for (const Expected& entry : expected) {
      if (entry.depth > maxDepth) continue;
      u64 nodes = Perft(&board, entry.depth);
      totalNodes += nodes;
      report += " ;D" + std::to_string(entry.depth) + " " + std::to_string(nodes);
      if (nodes == entry.nodes) {
        report += " ok";
      } else {
        report += " FAIL expected " + std::to_string(entry.nodes) + " got " + std::to_string(nodes);
        ok = false;
      }
    }
    std::printf("%s\n", report.c_str());
    std::fflush(stdout);
    (ok ? passed : failed) += 1;
  }
  double seconds = Seconds(start);
  std::printf("%d passed, %d failed, %llu nodes in %.2f s, %.0f nodes per second\n", passed, failed,
              static_cast<unsigned long long>(totalNodes), seconds,
              seconds > 0 ? static_cast<double>(totalNodes) / seconds : 0.0);
  return failed ? 1 : 0;
}

int RunFen(const char* fen, u32 depth) {
  Board board;
  if (!SetFen(&board, fen)) {
    std::fprintf(stderr, "tervik-perft: unreadable FEN \"%s\"\n", fen);
    return 1;
  }
  auto start = std::chrono::steady_clock::now();
  u64 nodes = Perft(&board, depth);
  double seconds = Seconds(start);
  std::printf("%llu\n", static_cast<unsigned long long>(nodes));
  std::fflush(stdout);
  std::fprintf(stderr, "depth %u: %llu nodes in %.3f s, %.0f nodes per second\n", depth,
               static_cast<unsigned long long>(nodes), seconds,
               seconds > 0 ? static_cast<double>(nodes) / seconds : 0.0);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  InitBoardTables();
  u32 depth;
  if (argc == 4 && std::strcmp(argv[1], "--fen") == 0) {
    if (!ReadDepth(argv[3], &depth, 0)) {
      PrintUsage();
      return 2;
    }
    return RunFen(argv[2], depth);
  }
  if ((argc == 2 || argc == 3) && argv[1][0] != '-') {
    depth = PerftMaxDepth;
    if (argc == 3 && !ReadDepth(argv[2], &depth, 1)) {
      PrintUsage();
      return 2;
    }
    return RunFile(argv[1], depth);
  }
  PrintUsage();
  return 2;
}
