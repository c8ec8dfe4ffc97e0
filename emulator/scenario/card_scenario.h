// The scenario's card and cardholder: "card" holds the card reader's state
// and the card's own data, "cardholder" what the cardholder does.
#pragma once

#include <nlohmann/json.hpp>

#include "emulator/core/cardholder.h"
#include "emulator/core/pin_pad.h"

namespace korvex::emu {

// Throw ScenarioError naming the field.
void ReadCard(const nlohmann::json& j, PadState& state);
void ReadCardholder(const nlohmann::json& j, Cardholder& cardholder);

}  // namespace korvex::emu
