// JSON text parsed with the path of the value being read, so that a number
// too large for a double ("1e400") is refused as the field it stands in,
// like every other fault of a scenario or state file.
#pragma once

#include <nlohmann/json.hpp>
#include <optional>
#include <string>

#include "emulator/scenario/scenario.h"

namespace korvex::emu {

// Throws ScenarioError naming the field ("card.removalDelayMs") and the
// problem, or only the problem for text that is not JSON at all.
nlohmann::json ParseJsonFields(const std::string& text);
// The same, with the refusal returned instead of thrown: most broken files
// are broken here, and a program that reads many of them pays for no unwinding.
std::optional<ScenarioError> ReadJsonFields(const std::string& text, nlohmann::json& document);

// Parses the text and hands the document to `apply`, which throws
// ScenarioError for a field that is wrong; either refusal is returned.
template <class Apply>
std::optional<ScenarioError> ReadFields(const std::string& text, Apply&& apply) {
  nlohmann::json document;
  if (auto error = ReadJsonFields(text, document)) return error;
  try {
    apply(document);
  } catch (const ScenarioError& e) {
    return e;
  }
  return std::nullopt;
}

}  // namespace korvex::emu
