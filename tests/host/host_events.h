// Socket and timer event sinks for the host tests; socket events become lines.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "korvex/host.h"

namespace korvex::testing {

struct SocketLog : SocketEvents {
  void OnConnect() override { Add("connect"); }
  void OnClose() override { Add("close"); }
  void OnDataArrival(int32_t bytesTotal) override {
    Add("data " + std::to_string(bytesTotal));
    if (onData) onData(bytesTotal);
  }
  void OnError(int32_t Number, const std::string& Description) override {
    Add("error " + std::to_string(Number) + " " + Description);
  }
  void Add(const std::string& line) { lines.push_back(stamp ? stamp() + " " + line : line); }

  std::vector<std::string> lines;
  std::function<void(int32_t)> onData;
  std::function<std::string()> stamp;  // prefix for each line, e.g. the virtual time
};

struct TickLog : TimerEvents {
  void OnTimer() override {
    ++ticks;
    if (onTick) onTick();
  }
  int ticks = 0;
  std::function<void()> onTick;
};

}  // namespace korvex::testing
