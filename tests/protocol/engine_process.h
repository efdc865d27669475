// A small pipe driver for the real tervik binary: start it in a folder of its own, write
// lines, read its lines with the time they arrived, close its input, collect its exit status.
#pragma once

#include <string>
#include <vector>

#include <sys/types.h>

#include "board/types.h"

// Milliseconds of a monotonic clock.
i64 DriverNowMs();

// The ini line that names the shipped network, for tests of what that network's search finds.
std::string ShippedNetworkIni();

// A fresh folder with a tervik.ini that names the hand-made network (gen 0, quick and
// deterministic), then the extra lines; removed by the destructor.
class EngineFolder {
 public:
  explicit EngineFolder(const std::string& extraIni = "");
  ~EngineFolder();
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

struct EngineLine {
  std::string text;
  i64 atMs;  // DriverNowMs when it was read
};

class EngineProcess {
 public:
  // Starts the binary (default: the build's tervik) in the folder; its standard error goes to
  // the file stderr.txt there.
  EngineProcess(const std::string& folder, const std::vector<std::string>& arguments = {},
                const std::string& binary = "");
  ~EngineProcess();
  EngineProcess(const EngineProcess&) = delete;
  EngineProcess& operator=(const EngineProcess&) = delete;

  bool running() const { return pid_ > 0; }
  pid_t pid() const { return pid_; }
  // Writes the text as it stands, in one write.
  void send(const std::string& text);
  void sendLine(const std::string& line) { send(line + "\n"); }
  // The next line, waiting at most timeoutMs; false on timeout or end of output.
  bool readLine(EngineLine* line, int timeoutMs);
  // Reads lines until one starts with the prefix (returned in *found); every line read is
  // appended to *seen when given. False on timeout or end of output.
  bool readUntil(const std::string& prefix, int timeoutMs, EngineLine* found,
                 std::vector<EngineLine>* seen = nullptr);
  // Lines that arrive within the time (none expected, usually).
  std::vector<EngineLine> drain(int timeoutMs);
  void closeInput();
  // Sends the signal to the engine's process.
  void signal(int number);
  // The exit status (-1 killed by a signal), waiting at most timeoutMs (-2 on timeout).
  int waitForExit(int timeoutMs);
  // The engine's standard error so far.
  std::string errorOutput() const;

 private:
  pid_t pid_ = -1;
  int input_ = -1;   // the engine's standard input
  int output_ = -1;  // the engine's standard output
  std::string pending_;
  std::string folder_;
  int status_ = -2;
};

// The build's tervik program.
std::string TervikBinary();
