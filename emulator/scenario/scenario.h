// The scenario file of the korvex-pinpad executable (JSON): the pad's state
// at power-on (application, card, tables, version record) and the emulator's
// settings (limits, replies, delays, link, faults). The format is documented
// in emulator/README.md with an example in examples/pinpad-scenario.json.
#pragma once

#include <optional>
#include <stdexcept>
#include <string>

#include "emulator/core/emulator_config.h"
#include "emulator/core/pin_pad.h"

namespace korvex::emu {

// A scenario or state file that cannot be used; `field` names the offending
// field as a dotted path ("card.present", "faults[2].kind").
class ScenarioError : public std::runtime_error {
 public:
  ScenarioError(std::string field, const std::string& message)
      : std::runtime_error(field.empty() ? message : field + ": " + message),
        field_(std::move(field)) {}
  const std::string& Field() const { return field_; }

 private:
  std::string field_;
};

struct Scenario {
  EmulatorConfig config;
  PadState state;
};

// From JSON text; throws ScenarioError.
Scenario ParseScenario(const std::string& jsonText);
// The same, with the refusal returned instead of thrown (text that is not
// JSON costs no exception at all); `into` is only set when the text is a
// scenario.
std::optional<ScenarioError> ReadScenario(const std::string& jsonText, Scenario& into);
// From a file; throws ScenarioError (a missing file names no field).
Scenario LoadScenario(const std::string& path);

}  // namespace korvex::emu
