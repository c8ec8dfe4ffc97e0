// A control on SimHost bound to a terminal set up in code: a JsonTerminal over
// a configuration built by the test (no file, no checks).
#pragma once

#include <string>
#include <vector>

#include "control/korvex_impl.h"
#include "harness/recording_events.h"
#include "korvex/json_terminal.h"
#include "korvex/sim_host.h"

namespace korvex::testing {

using namespace std::string_literals;
using Texts = std::vector<std::string>;
using Events = std::vector<RecordedEvent>;

#define FS_ "\x1C"

inline std::string Repeat(const std::string& text, int times) {
  std::string out;
  for (int i = 0; i < times; ++i) out += text;
  return out;
}

inline JsonTerminal::CaKey Key(std::string id, std::string rid) {
  return {
      std::move(id),
      {{7, std::move(rid)}, {8, "\x01"}, {12, "\x01"}, {13, "\x01"}, {14, "\x02"}, {15, "\x03"}}};
}

inline JsonTerminal::Config BaseConfig() {
  JsonTerminal::Config c;
  c.country = "233";
  c.currency = "978";
  c.terminalId = "TID1";
  c.merchantId = "MID1";
  c.acquirerId = "AI1";
  c.table1Field1 = "T1";
  c.aidTable.reference = "A4261201";
  c.mvtTable.reference = "M5261201";
  return c;
}

struct TerminalRig {
  SimHost host;
  RecordingEvents events;
  JsonTerminal terminal;
  Korvex::Impl control{host, events};

  explicit TerminalRig(JsonTerminal::Config config = BaseConfig()) : terminal(std::move(config)) {
    control.terminalObject = &terminal;
  }
};

}  // namespace korvex::testing
