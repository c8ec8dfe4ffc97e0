// The control against the emulated PIN pad on SimHost, bound to the example
// terminal or a variant; no run may leave an emulator violation behind.
#pragma once

#include "harness/emu_rig.h"

namespace korvex::testing {

// The example terminal's fingerprint: characters 3-8 of "A4261201" and
// "M5261201", and SHA-1 of "A000000003_92A000000003_94A000000004_05".
inline const std::string kReference = "261201261201";
inline const std::string kChecksum = "78BF4B1B7783272CC0A9AFB08014E9";

inline std::string Version(const std::string& reference, const std::string& checksum) {
  return std::string(5, FS) + reference + std::string(7, FS) + checksum + std::string(6, FS);
}

// Old tables and a version record whose table reference is out of date.
inline emu::PadState StalePad(emu::PadApp app = emu::PadApp::Payment) {
  emu::PadState state;
  state.app = app;
  state.tables[emu::kEstTable] = {"old est 1", "old est 2"};
  state.tables[emu::kMvtTable] = {"old mvt"};
  state.tables[emu::kVersionTable] = {Version("261201261200", kChecksum)};
  return state;
}

struct InitRig : EmuRig {
  explicit InitRig(emu::PadState state = StalePad(), emu::EmulatorConfig config = {},
                   JsonTerminal::Config terminalConfig = ExampleTerminal())
      : EmuRig(std::move(config), std::move(state), std::move(terminalConfig)) {}

  void Ready(bool untilReady = true) { Connect(untilReady); }
  // InitTransaction on cleared events, run until the timer stops and the pad is quiet.
  void Init() {
    events.Clear();
    ASSERT_EQ(control.InitTransaction(), 0);
    host.RunUntil([&] { return !control.TimeoutTimer->Enabled() && host.Idle(); }, 30000);
  }

  // Texts of the frames the pad received (or sent), in order.
  Texts Requests(emu::Direction from = emu::Direction::ToPad) {
    Texts out;
    for (const auto& e : pad.Core().GetTranscript().Entries()) {
      if (e.direction != from || e.bytes.size() < 3 || e.bytes[0] != '\x02') continue;
      out.push_back(e.bytes.substr(1, e.bytes.size() - 3));
    }
    return out;
  }
  // Trace texts of the given level or above, starting with prefix.
  Texts Trace(int level, const std::string& prefix = "") const {
    Texts out;
    for (const auto& e : events.all) {
      if (e.kind == RecordedEvent::Debug && e.type >= level && e.text.starts_with(prefix)) {
        out.push_back(e.text);
      }
    }
    return out;
  }
};

}  // namespace korvex::testing
