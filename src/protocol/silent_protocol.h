// A Protocol that shows nothing and asks nothing: for running the search from tools, benchmarks
// and tests, which override only what they want to see.
#pragma once

#include <string>

#include "protocol/protocol.h"

class SilentProtocol : public Protocol {
 public:
  void write(const std::string&) override {}
  void writeLine(const std::string&) override {}
  std::string readLine() override { return "quit"; }
  bool handleCommand(const std::string&) override { return false; }
  void run() override {}
  void sendBestMove(u32, u32) override {}
  void sendPV(i64, i32, i32, u64, i32, i32, i32, const PVLine*) override {}
  void sendCurrMove(u32, i32, i32, i32, u64, i32) override {}
  void sendInfo(const std::string&) override {}
  bool sendResult(i32) override { return false; }
  bool isPonderEnabled() override { return false; }
  i32 movesToGo() override { return 0; }
  void setPost(bool) override {}
  i32 increment() override { return 0; }
};
