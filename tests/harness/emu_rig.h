// The control and the emulated PIN pad on SimHost, the pad listening where the
// control looks for its router (router:4001). No run may leave an emulator
// violation behind.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "control/korvex_impl.h"
#include "emulator/adapters/sim_pinpad.h"
#include "harness/recording_events.h"
#include "harness/repo_files.h"
#include "korvex/json_terminal.h"
#include "korvex/sim_host.h"
#include "link/framing.h"

namespace korvex::testing {

using Texts = std::vector<std::string>;
using Events = std::vector<RecordedEvent>;

// The shipped examples/terminal.json.
inline JsonTerminal::Config ExampleTerminal() {
  std::string error;
  auto loaded = JsonTerminal::Load(RepoPath("examples/terminal.json"), error);
  EXPECT_TRUE(loaded) << error;
  return loaded ? loaded->config() : JsonTerminal::Config{};
}

struct EmuRig {
  SimHost host;
  RecordingEvents events;
  emu::SimPinPad pad;
  JsonTerminal terminal;
  Korvex::Impl control{host, events};

  EmuRig(emu::EmulatorConfig config, emu::PadState state, JsonTerminal::Config terminalConfig)
      : pad(host, std::move(config), std::move(state)), terminal(std::move(terminalConfig)) {
    pad.Listen("router", 4001);
    control.Winsock1->SetRemoteHost("router");
    control.Winsock1->SetRemotePort(4001);
  }
  ~EmuRig() { EXPECT_TRUE(pad.Core().Violations().empty()) << pad.Core().ViolationSummary(); }

  // Binds the terminal and starts the connection test; with untilReady, runs
  // it to "EmvApp is ready" (state 111).
  void Connect(bool untilReady = true) {
    ASSERT_EQ(control.setTerminalObject(terminal), 0);
    ASSERT_EQ(control.PerformConnectionTest(1), 0);
    ASSERT_TRUE(!untilReady ||
                host.RunUntil([&] { return control.fState == STATE_EMVAPP_READY; }, 20000));
  }
};

}  // namespace korvex::testing
