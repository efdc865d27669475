// Reading tervik.ini: one "key=value" line per setting for the registered parameters and the
// two paths egtb_path and nnue_path.
#pragma once

#include <cstdio>

// Applies every line of the stream in order (a later line for a key wins); messages go to err.
void ReadIniStream(std::FILE* in, std::FILE* err);
// Opens the file and reads it; a missing file leaves the defaults and says so on err.
// Returns whether the file could be opened.
bool ReadIniFile(const char* path, std::FILE* err);
