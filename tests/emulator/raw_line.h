// The control's end of the line, played byte by byte by the test against the
// emulator's core in a clock the test advances (microseconds; Run takes
// milliseconds, as the settings do).
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "emulator/core/emulator.h"
#include "emulator/core/router_front.h"
#include "emulator/core/time_units.h"
#include "link/framing.h"

namespace korvex::emu::testing {

inline const std::string kAck(1, ACK);
inline const std::string kNak(1, NAK);

inline std::string Frame(const std::string& text, CheckMode mode = CheckMode::Lrc) {
  return EncodeFrame(text, mode);
}

class RawLine {
 public:
  // Connected at once, sending `command` first (none when empty).
  explicit RawLine(EmulatorConfig config = {}, PadState state = {},
                   const std::string& command = kSetComm19200)
      : emu(std::move(config), std::move(state)) {
    Connect(command);
  }

  void Connect(const std::string& command = kSetComm19200) {
    emu.Connect(now);
    if (!command.empty()) Send(command);
    Collect();
  }
  void Disconnect() { emu.Disconnect(now); }
  void Send(const std::string& bytes) {
    emu.Receive(bytes, now);
    Collect();
  }
  void SendFrame(const std::string& text) { Send(Frame(text)); }
  void Ack() { Send(kAck); }
  // Sends a frame and returns everything the pad sent since the last Take.
  std::string Request(const std::string& text) {
    SendFrame(text);
    return Take();
  }
  // Advances the clock by ms, waking the core at each of its deadlines.
  void Run(int64_t ms) {
    const int64_t target = now + MsToUs(ms);
    for (auto due = emu.NextDeadline(); due && *due <= target; due = emu.NextDeadline()) {
      now = std::max(now, *due);
      emu.Poll(now);
      Collect();
    }
    now = target;
    emu.Poll(now);
    Collect();
  }
  std::string Take() { return std::exchange(out, std::string()); }

  Emulator emu;
  int64_t now = 0;  // microseconds
  std::string out;
  std::vector<std::pair<int64_t, std::string>> pieces;  // time (us) and bytes of each write

 private:
  void Collect() {
    for (auto& piece : emu.TakeOutput(now)) {
      out += piece;
      pieces.emplace_back(now, piece);
    }
  }
};

}  // namespace korvex::emu::testing
