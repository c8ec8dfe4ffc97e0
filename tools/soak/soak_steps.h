// One run of the soak: the control, the emulated PIN pad behind a line tap on
// a noisy SimHost line, and the steps that drive the control to its end.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "emulator/adapters/sim_pinpad.h"
#include "korvex/json_terminal.h"
#include "korvex/korvex.h"
#include "korvex/sim_host.h"
#include "tools/soak/noisy_line.h"
#include "tools/soak/soak_options.h"

namespace korvex::soak {

struct SeenEvent {
  int32_t type, code;
  std::string text;
};

class SoakEvents : public KorvexEvents {
 public:
  void InterfaceEvent(int32_t& EventType, int32_t& Code, std::string& Text) override {
    seen.push_back({EventType, Code, Text});
  }
  void DebugEvent(int16_t&, std::string& Text) override {
    if (Text.starts_with("Malformed reply")) ++malformed;
  }
  std::vector<SeenEvent> seen;
  int malformed = 0;  // replies the control NAKed for their fields
};

struct SoakRig {
  SimHost host;
  SoakEvents events;
  emu::SimPinPad pad;
  NoisyLine line;
  JsonTerminal terminal;
  Korvex control{host, events};

  // The line's faults drawn from the run's seed: corruption both ways, random
  // pieces, jitter, and now and then a router that closes the line.
  SoakRig(const SoakOptions& options, uint32_t runSeed, emu::PadState state,
          const JsonTerminal::Config& terminalConfig);
};

enum class StepEnd { Done, Error, Hung };

struct StepResult {
  StepEnd end = StepEnd::Done;
  std::string code;  // "type/code" of the error, or "refused <status>"
  std::string text;  // the error's text, or where the step hung
};

// A step still going after this many hang bounds counts as hung, timers or not.
inline constexpr int64_t kStepCapBounds = 30;

// Calls `call` (0 means started) and runs the host until the InterfaceEvent
// 0/`code`, an error event (EventType 1 or 3), hangBoundMs of virtual time
// without any InterfaceEvent and with none of the control's timers running,
// or kStepCapBounds bounds in all.
StepResult RunStep(SoakRig& rig, const std::string& title, const std::function<int16_t()>& call,
                   int32_t code, int64_t hangBoundMs);

}  // namespace korvex::soak
