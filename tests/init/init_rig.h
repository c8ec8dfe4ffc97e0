// The control against the PIN-pad emulator on SimHost, bound to the example
// terminal (two schemes, three CA keys, two table-5 records) or a variant of
// it, with the requests the pad received and the events the host saw.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "control/korvex_impl.h"
#include "emulator/adapters/sim_pinpad.h"
#include "harness/recording_events.h"
#include "korvex/json_terminal.h"
#include "korvex/sim_host.h"

namespace korvex::testing {

using namespace std::string_literals;
using Texts = std::vector<std::string>;
using Events = std::vector<RecordedEvent>;

#define FS_ "\x1C"

// The example terminal's fingerprint: characters 3-8 of "A4261201" and
// "M5261201", and SHA-1 of "A000000003_92A000000003_94A000000004_05".
inline const std::string kReference = "261201261201";
inline const std::string kChecksum = "78BF4B1B7783272CC0A9AFB08014E9";

inline std::string Version(const std::string& reference, const std::string& checksum) {
  return FS_ FS_ FS_ FS_ FS_ + reference + FS_ FS_ FS_ FS_ FS_ FS_ FS_ + checksum +
         FS_ FS_ FS_ FS_ FS_ FS_;
}

inline JsonTerminal::Config ExampleTerminal() {
  const auto path = std::filesystem::path(__FILE__).parent_path().parent_path().parent_path() /
                    "examples" / "terminal.json";
  std::string error;
  auto loaded = JsonTerminal::Load(path.string(), error);
  EXPECT_TRUE(loaded) << error;
  return loaded ? loaded->config() : JsonTerminal::Config{};
}

// A pad holding old tables and a version record whose table reference is out
// of date: the initialisation has tables, not keys, to renew.
inline emu::PadState StalePad() {
  emu::PadState state;
  state.tables[emu::kEstTable] = {"old est 1", "old est 2"};
  state.tables[emu::kMvtTable] = {"old mvt"};
  state.tables[emu::kVersionTable] = {Version("261201261200", kChecksum)};
  return state;
}

struct InitRig {
  SimHost host;
  RecordingEvents events;
  emu::SimPinPad pad;
  JsonTerminal terminal;
  Korvex::Impl control{host, events};

  explicit InitRig(emu::PadState state = StalePad(), emu::EmulatorConfig config = {},
                   JsonTerminal::Config terminalConfig = ExampleTerminal())
      : pad(host, std::move(config), std::move(state)), terminal(std::move(terminalConfig)) {
    pad.Listen("router", 4001);
    control.Winsock1->SetRemoteHost("router");
    control.Winsock1->SetRemotePort(4001);
  }

  emu::Emulator& Pad() { return pad.Core(); }

  // Binds the terminal and runs the connection test to "EmvApp is ready".
  void Ready() {
    ASSERT_EQ(control.setTerminalObject(terminal), 0);
    ASSERT_EQ(control.PerformConnectionTest(1), 0);
    ASSERT_TRUE(host.RunUntil([&] { return control.fState == STATE_EMVAPP_READY; }, 20000));
  }
  // InitTransaction, then the exchange runs until nothing is left to happen
  // (the timer off and the pad quiet) or maxMs.
  void Init(int64_t maxMs = 30000) {
    ASSERT_EQ(control.InitTransaction(), 0);
    host.RunUntil([&] { return !control.TimeoutTimer->Enabled() && host.Idle(); }, maxMs);
  }

  // Texts of the frames the pad received, read or not, in order.
  Texts Requests() const {
    Texts out;
    for (const auto& e : pad.Core().GetTranscript().Entries()) {
      if (e.direction == emu::Direction::ToPad && e.bytes.size() > 2 && e.bytes[0] == '\x02') {
        out.push_back(e.bytes.substr(1, e.bytes.size() - 3));
      }
    }
    return out;
  }
  // The same, cut after the record length of an add or save ("D0401071205").
  Texts Heads() const {
    Texts out;
    for (const auto& r : Requests()) out.push_back(r.substr(0, r.starts_with("D05") ? 14 : 11));
    return out;
  }
  // Virtual time at which the control last wrote the frame carrying text.
  int64_t SentAt(const std::string& text) const {
    int64_t at = -1;
    for (const auto& r : host.WireLog()) {
      if (r.from == SimSide::Control && r.bytes.size() > text.size() + 1 &&
          r.bytes.compare(1, text.size() + 1, text + "\x03") == 0) {
        at = r.timeMs;
      }
    }
    return at;
  }
  // Trace texts of the given levels, in order.
  Texts Trace(std::vector<int> levels) const {
    Texts out;
    for (const auto& e : events.all) {
      if (e.kind != RecordedEvent::Debug) continue;
      for (int l : levels) {
        if (e.type == l) out.push_back(e.text);
      }
    }
    return out;
  }
  void ExpectNoViolations() const {
    EXPECT_TRUE(pad.Core().Violations().empty()) << pad.Core().ViolationSummary();
  }
};

}  // namespace korvex::testing
