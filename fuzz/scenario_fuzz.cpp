// Scenario files are written by hand and kept across runs: any bytes must
// either load into a pad that runs or be refused with a ScenarioError naming
// the problem. Any other exception or crash is a bug. (State files, read by
// the same JSON reader, have their own target: statefile.)
#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>

#include "emulator/scenario/scenario.h"
#include "loaded_pad.h"

// Read through the reader that returns its refusal: nine inputs in ten are
// not JSON, and an exception thrown for each (its unwinding, and system calls
// under AddressSanitizer) cost a quarter of the target's time. The throwing
// reader is the same code around it.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  korvex::emu::Scenario scenario;
  const auto refused =
      korvex::emu::ReadScenario(std::string(reinterpret_cast<const char*>(data), size), scenario);
  if (refused) {
    if (*refused->what() == '\0') __builtin_trap();
    return 0;
  }
  korvex::fuzz::RunLoadedPad(std::move(scenario.config), std::move(scenario.state));
  return 0;
}
