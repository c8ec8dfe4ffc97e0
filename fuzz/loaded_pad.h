// What every pad a fuzz target loads must do: take a connection and a request.
#pragma once

#include "emulator/core/emulator.h"

namespace korvex::fuzz {

inline void RunLoadedPad(const emu::EmulatorConfig& config, const emu::PadState& state) {
  emu::Emulator pad(config, state);
  pad.Connect(0);
  pad.Receive("SETCOMM19200,n,8,1  \x02P01\x03R", 0);
  pad.Poll(10'000'000);
  pad.TakeOutput(10'000'000);
}

}  // namespace korvex::fuzz
