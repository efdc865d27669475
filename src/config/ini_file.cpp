// The ini reader: 299-character reads, comment and control-character lines skipped, keys and
// values taken as they stand.
#include "config/ini_file.h"

#include <cstdlib>
#include <cstring>
#include <string>

#include "config/params.h"

static void CopyPath(char* path, const std::string& value) {
  std::size_t n = value.size() < PathCapacity - 1 ? value.size() : PathCapacity - 1;
  std::memcpy(path, value.data(), n);
  path[n] = '\0';
}

// A number outside the listed range is held to it; the user learns which value is used.
static void ReportHeldValue(const IntParam& param, const std::string& value, std::FILE* err) {
  long given = std::strtol(value.c_str(), nullptr, 10);
  i32 used = param.variable()->load();
  if (given == used) return;
  std::fprintf(err, "Parameter %s: %s is outside %d..%d, %d is used\r\n", param.name.c_str(),
               value.c_str(), param.minimum, param.maximum, used);
}

static void ApplyIniLine(const std::string& line, std::FILE* err) {
  if (line.size() < 3) return;
  // Blanks, control characters and bytes from 0x80 up (a UTF-8 byte-order mark too) open no
  // setting.
  if (line[0] == '#' || static_cast<i8>(line[0]) <= 32) return;
  std::size_t eq = line.find('=');
  if (eq == std::string::npos) return;
  std::string key = line.substr(0, eq);
  std::string value = line.substr(eq + 1);
  if (ParamRef* param = LookupParam(key)) {
    param->set(value);
    if (param->isInt()) ReportHeldValue(*static_cast<const IntParam*>(param), value, err);
  } else if (key == "egtb_path") {
    CopyPath(egtb_path, value);
  } else if (key == "nnue_path") {
    while (!value.empty() && (value.back() == ' ' || value.back() == '\r' || value.back() == '\n'))
      value.pop_back();
    CopyPath(nnue_path, value);
  } else {
    std::fprintf(err, "Unknown parameter: %s\r\n", key.c_str());
  }
}

void ReadIniStream(std::FILE* in, std::FILE* err) {
  // The rest of a line longer than 299 characters is read as a line of its own.
  char buffer[300];
  while (std::fgets(buffer, sizeof buffer, in)) {
    std::string line(buffer);
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.pop_back();
    ApplyIniLine(line, err);
  }
}

bool ReadIniFile(const char* path, std::FILE* err) {
  std::FILE* in = std::fopen(path, "r");
  if (!in) {
    std::fputs("Unable to load tervik.ini ! Using defaults !\r\n", err);
    return false;
  }
  ReadIniStream(in, err);
  std::fclose(in);
  return true;
}
