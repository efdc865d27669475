// The lines a protocol wrote into a temporary file standing in for its output, read a batch at
// a time.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

// The whole lines written since the last call; *readSoFar keeps the place.
inline std::vector<std::string> LinesSince(std::FILE* out, std::size_t* readSoFar) {
  std::fflush(out);
  std::fseek(out, static_cast<long>(*readSoFar), SEEK_SET);
  std::string text;
  for (int c; (c = std::fgetc(out)) != EOF;) text += static_cast<char>(c);
  *readSoFar += text.size();
  std::vector<std::string> result;
  std::size_t start = 0;
  for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
    result.push_back(text.substr(start, end - start));
  return result;
}
