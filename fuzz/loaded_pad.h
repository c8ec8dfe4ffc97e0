// What every pad a fuzz target loads must do: take a connection and a request.
// One emulator serves every input (its handler table is built once), started
// again at power-on with the input's configuration and state, transcript off.
#pragma once

#include <cstdint>
#include <utility>

#include "emulator/core/emulator.h"

namespace korvex::fuzz {

inline void RunLoadedPad(emu::EmulatorConfig config, emu::PadState state) {
  static emu::Emulator pad;
  static int64_t now = 0;  // the pad's clock runs on across inputs, never back
  pad.GetTranscript().enabled = false;
  pad.Restart(std::move(config), std::move(state));
  pad.Connect(now);
  pad.Receive("SETCOMM19200,n,8,1  \x02P01\x03R", now);
  now += 10'000'000;
  pad.Poll(now);
  pad.TakeOutput(now);
}

}  // namespace korvex::fuzz
