// Small checks shared by the message handlers.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "emulator/core/handler_table.h"

namespace korvex::emu {

// Status of a request refused for its layout.
inline const std::string kStatusBadFormat = "02";

// A request that is its code and nothing more.
std::function<std::optional<Rejection>(const std::string&, PadServices&)> ExactText(
    std::string text);

bool AllDigits(const std::string& s);
bool AllHex(const std::string& s);
// Decimal, zero-padded on the left to `width` digits.
std::string PadNumber(size_t value, int width);

// Switches the application; a wait for the card's removal ends with it.
void SwitchApp(PadServices& pad, PadApp app);

}  // namespace korvex::emu
