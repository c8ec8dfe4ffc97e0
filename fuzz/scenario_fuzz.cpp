// Scenario and state files are written by hand and kept across runs: any
// bytes must either load into a pad that runs or be refused with a
// ScenarioError naming the problem. Any other exception or crash is a bug.
#include <cstddef>
#include <cstdint>
#include <string>

#include "emulator/core/emulator.h"
#include "emulator/scenario/scenario.h"
#include "emulator/scenario/state_file.h"
#include "loaded_pad.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  try {
    const auto scenario = korvex::emu::ParseScenario(text);
    korvex::fuzz::RunLoadedPad(scenario.config, scenario.state);
  } catch (const korvex::emu::ScenarioError& e) {
    if (std::string(e.what()).empty()) __builtin_trap();
  }
  try {
    korvex::emu::PadState state;
    korvex::emu::StateFromJson(text, state);
    // A state that loads must save and load back.
    korvex::emu::PadState again;
    korvex::emu::StateFromJson(korvex::emu::StateToJson(state), again);
    korvex::fuzz::RunLoadedPad({}, state);
  } catch (const korvex::emu::ScenarioError& e) {
    if (std::string(e.what()).empty()) __builtin_trap();
  }
  return 0;
}
