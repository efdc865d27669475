// The pipe driver: fork and exec with three pipes' worth of plumbing, poll with timeouts.
#include "protocol/engine_process.h"

#include <chrono>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

i64 DriverNowMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

std::string TervikBinary() { return std::string(TERVIK_BINARY_DIR) + "/tervik"; }

std::string ShippedNetworkIni() {
  return std::string("nnue_path=") + TERVIK_SOURCE_DIR + "/nets/gen6.nnue\n";
}

EngineFolder::EngineFolder(const std::string& extraIni) {
  static int serial = 0;
  path_ = (fs::temp_directory_path() /
           ("tervik-session-" + std::to_string(::getpid()) + "-" + std::to_string(serial++)))
              .string();
  fs::remove_all(path_);
  fs::create_directories(path_);
  std::ofstream ini(path_ + "/tervik.ini");
  ini << "nnue_path=" << TERVIK_SOURCE_DIR << "/nets/gen0-material.nnue\n" << extraIni;
}

EngineFolder::~EngineFolder() {
  std::error_code ignored;
  fs::remove_all(path_, ignored);
}

EngineProcess::EngineProcess(const std::string& folder, const std::vector<std::string>& arguments,
                             const std::string& binary)
    : folder_(folder) {
  std::string program = binary.empty() ? TervikBinary() : binary;
  // Everything the child needs is made before the fork: it only calls what is safe there.
  std::string errorFile = folder + "/stderr.txt";
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(program.c_str()));
  for (const std::string& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  int toEngine[2], fromEngine[2];
  if (::pipe2(toEngine, O_CLOEXEC) != 0 || ::pipe2(fromEngine, O_CLOEXEC) != 0) return;
  pid_t pid = ::fork();
  if (pid == 0) {
    ::dup2(toEngine[0], 0);
    ::dup2(fromEngine[1], 1);
    int err = ::open(errorFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (err >= 0) ::dup2(err, 2);
    ::close(toEngine[0]);
    ::close(toEngine[1]);
    ::close(fromEngine[0]);
    ::close(fromEngine[1]);
    if (::chdir(folder.c_str()) != 0) ::_exit(126);
    ::execv(program.c_str(), argv.data());
    ::_exit(127);
  }
  ::close(toEngine[0]);
  ::close(fromEngine[1]);
  input_ = toEngine[1];
  output_ = fromEngine[0];
  pid_ = pid;
  // A dead engine must show as a failed test, not kill the test program.
  std::signal(SIGPIPE, SIG_IGN);
}

EngineProcess::~EngineProcess() {
  closeInput();
  if (pid_ > 0 && waitForExit(2000) == -2) {
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
  }
  if (output_ >= 0) ::close(output_);
}

void EngineProcess::send(const std::string& text) {
  if (input_ < 0) return;
  std::size_t done = 0;
  while (done < text.size()) {
    ssize_t n = ::write(input_, text.data() + done, text.size() - done);
    if (n <= 0) return;
    done += static_cast<std::size_t>(n);
  }
}

bool EngineProcess::readLine(EngineLine* line, int timeoutMs) {
  i64 deadline = DriverNowMs() + timeoutMs;
  for (;;) {
    std::size_t newline = pending_.find('\n');
    if (newline != std::string::npos) {
      line->text = pending_.substr(0, newline);
      line->atMs = DriverNowMs();
      pending_.erase(0, newline + 1);
      return true;
    }
    if (output_ < 0) return false;
    i64 left = deadline - DriverNowMs();
    if (left <= 0) return false;
    pollfd fd{output_, POLLIN, 0};
    int ready = ::poll(&fd, 1, static_cast<int>(left));
    if (ready <= 0) continue;
    char buffer[65536];
    ssize_t n = ::read(output_, buffer, sizeof buffer);
    if (n <= 0) {
      ::close(output_);
      output_ = -1;
      continue;
    }
    pending_.append(buffer, static_cast<std::size_t>(n));
  }
}

bool EngineProcess::readUntil(const std::string& prefix, int timeoutMs, EngineLine* found,
                              std::vector<EngineLine>* seen) {
  i64 deadline = DriverNowMs() + timeoutMs;
  EngineLine line;
  for (;;) {
    i64 left = deadline - DriverNowMs();
    if (!readLine(&line, static_cast<int>(left > 0 ? left : 0))) return false;
    if (seen) seen->push_back(line);
    if (line.text.compare(0, prefix.size(), prefix) == 0) {
      if (found) *found = line;
      return true;
    }
  }
}

std::vector<EngineLine> EngineProcess::drain(int timeoutMs) {
  std::vector<EngineLine> lines;
  i64 deadline = DriverNowMs() + timeoutMs;
  EngineLine line;
  for (i64 left; (left = deadline - DriverNowMs()) > 0;) {
    if (!readLine(&line, static_cast<int>(left))) break;
    lines.push_back(line);
  }
  return lines;
}

void EngineProcess::closeInput() {
  if (input_ >= 0) ::close(input_);
  input_ = -1;
}

void EngineProcess::signal(int number) {
  if (pid_ > 0) ::kill(pid_, number);
}

int EngineProcess::waitForExit(int timeoutMs) {
  if (pid_ <= 0) return status_;
  i64 deadline = DriverNowMs() + timeoutMs;
  for (;;) {
    int status = 0;
    pid_t done = ::waitpid(pid_, &status, WNOHANG);
    if (done == pid_) {
      pid_ = -1;
      status_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
      return status_;
    }
    if (DriverNowMs() >= deadline) return -2;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
}

std::string EngineProcess::errorOutput() const {
  std::ifstream in(folder_ + "/stderr.txt");
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}
