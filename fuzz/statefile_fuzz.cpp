// The pad's saved state (pinpad-state.json in the --state-dir folder) outlives
// the program that wrote it and may be edited or cut short: any bytes in that
// file must load or be refused with a ScenarioError naming the problem, and a
// state that loads must save and load back unchanged and run a pad.
#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>

#include "emulator/scenario/scenario.h"
#include "emulator/scenario/state_file.h"
#include "loaded_pad.h"

using namespace korvex::emu;

// Read like the scenario target, through the reader that returns its refusal.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  PadState state;
  const auto refused = ReadState(std::string(reinterpret_cast<const char*>(data), size), state);
  if (refused) {
    if (*refused->what() == '\0') __builtin_trap();
    return 0;
  }
  // What loaded is what the next run gets back after a save. The folder's
  // file holds exactly this text (the tests cover writing and reading it),
  // so the round trip stays in memory: a file written and read for every
  // input cost more than the parse.
  const std::string saved = StateToJson(state);
  PadState again;
  StateFromJson(saved, again);
  if (StateToJson(again) != saved) __builtin_trap();
  korvex::fuzz::RunLoadedPad({}, std::move(again));
  return 0;
}
