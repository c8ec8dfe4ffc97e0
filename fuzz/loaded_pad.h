// What every pad a fuzz target loads must do: take a connection and a request.
// One emulator serves every input (its handler table is built once), started
// again at power-on with the input's configuration and state, transcript off.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "emulator/core/emulator.h"

namespace korvex::fuzz {

inline void RunLoadedPad(emu::EmulatorConfig config, emu::PadState state) {
  static emu::Emulator pad;
  static int64_t now = 0;                  // the pad's clock runs on across inputs, never back
  static std::vector<std::string> writes;  // kept, with its room
  pad.GetTranscript().enabled = false;
  pad.Restart(std::move(config), std::move(state));
  pad.Connect(now);
  pad.Receive("SETCOMM19200,n,8,1  \x02P01\x03R", now);
  // Each write of the pad's that holds a frame is acknowledged, as a control
  // would: left unanswered, the reply was sent three more times in the ten
  // seconds, each resend a violation kept, and those cost more than the
  // input's own load, yet tested nothing the loaded files decide.
  const int64_t end = now + 10'000'000;
  for (int step = 0; step < 64; ++step) {
    const auto due = pad.NextDeadline();
    if (!due || *due > end) break;
    now = std::max(now, *due);
    pad.Poll(now);
    writes.clear();
    pad.TakeOutput(now, writes);
    for (const auto& write : writes)
      if (write.find('\x02') != std::string::npos) pad.Receive("\x06", now);
  }
  now = end;
  pad.Poll(now);
  writes.clear();
  pad.TakeOutput(now, writes);
}

}  // namespace korvex::fuzz
