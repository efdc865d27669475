// Number arguments of the tools' command lines.
#pragma once

#include <cerrno>
#include <cstdlib>

#include "board/types.h"

// A decimal number in low..high and nothing else (no sign, no trailing text).
inline bool ParseU64(const char* text, u64 low, u64 high, u64* value) {
  if (text == nullptr || *text == '\0' || *text == '-') return false;
  char* end = nullptr;
  errno = 0;
  const unsigned long long v = std::strtoull(text, &end, 10);
  if (errno != 0 || *end != '\0' || v < low || v > high) return false;
  *value = v;
  return true;
}
