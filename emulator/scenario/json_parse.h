// JSON text parsed with the path of the value being read, so that a number
// too large for a double ("1e400") is refused as the field it stands in,
// like every other fault of a scenario or state file.
#pragma once

#include <nlohmann/json.hpp>
#include <string>

namespace korvex::emu {

// Throws ScenarioError naming the field ("card.removalDelayMs") and the
// problem, or only the problem for text that is not JSON at all.
nlohmann::json ParseJsonFields(const std::string& text);

}  // namespace korvex::emu
