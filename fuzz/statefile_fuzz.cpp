// The pad's saved state (pinpad-state.json in the --state-dir folder) outlives
// the program that wrote it and may be edited or cut short: any bytes in that
// file must load or be refused with a ScenarioError naming the problem, and a
// state that loads must save and load back unchanged and run a pad.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <utility>

#include "emulator/scenario/scenario.h"
#include "emulator/scenario/state_file.h"
#include "loaded_pad.h"

namespace {

namespace fs = std::filesystem;
using namespace korvex::emu;

// One folder per fuzzing process, removed when it ends; in memory where the
// system has such a folder, since a file system on disk flushes every
// replaced file and would set the pace.
struct StateDir {
  std::string path;
  StateDir() {
    const fs::path base = fs::is_directory("/dev/shm") ? "/dev/shm" : fs::temp_directory_path();
    std::string pattern = (base / "korvex-statefile-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) std::abort();
    path = pattern;
  }
  ~StateDir() {
    std::error_code ec;
    fs::remove_all(path, ec);
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Reading the file adds nothing to what the reader sees, so the bytes go
  // to it from memory; the folder is used for what loaded.
  PadState state;
  try {
    StateFromJson(std::string(reinterpret_cast<const char*>(data), size), state);
  } catch (const ScenarioError& e) {
    if (*e.what() == '\0') __builtin_trap();
    return 0;
  }
  // What loaded is what the next run gets back after a save.
  static const StateDir dir;
  const std::string saved = StateToJson(state);
  SaveStateDir(dir.path, state);
  PadState again;
  if (!LoadStateDir(dir.path, again) || StateToJson(again) != saved) __builtin_trap();
  korvex::fuzz::RunLoadedPad({}, std::move(again));
  return 0;
}
