// The pad's state kept in a folder across runs of the executable: the
// application (a starting phase or download mode is saved as the application
// it belongs to), whether the payment application is installed and its
// version, the received files' names and header fields (not their bytes, to
// keep the file small), the EST and MVT records and the version record, as
// "pinpad-state.json". The card and the settings come from the scenario.
#pragma once

#include <optional>
#include <string>

#include "emulator/core/pin_pad.h"
#include "emulator/scenario/scenario.h"

namespace korvex::emu {

inline constexpr const char* kStateFileName = "pinpad-state.json";

std::string StateFilePath(const std::string& dir);

std::string StateToJson(const PadState& state);
// Applies a saved state over `state`; throws ScenarioError.
void StateFromJson(const std::string& jsonText, PadState& state);
// The same, with the refusal returned instead of thrown (text that is not
// JSON costs no exception at all); a refused file may have been applied in
// part.
std::optional<ScenarioError> ReadState(const std::string& jsonText, PadState& state);

// Loads dir/pinpad-state.json into `state` when it exists; returns whether it
// did. Throws ScenarioError for a file that cannot be read or used (the
// caller names the file).
bool LoadStateDir(const std::string& dir, PadState& state);
// Writes the file (through a temporary and a rename, so a crash never leaves
// half a file); throws std::runtime_error when it cannot.
void SaveStateDir(const std::string& dir, const PadState& state);

}  // namespace korvex::emu
