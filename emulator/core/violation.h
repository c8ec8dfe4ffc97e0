// A protocol violation by the control: a request that broke its layout, came
// in a state or application that does not take it, or a link rule broken
// (missing router command, wrong line rate, unacknowledged frame).
#pragma once

#include <cstdint>
#include <string>

namespace korvex::emu {

struct Violation {
  int64_t timeUs = 0;
  std::string message;      // the request text concerned, empty for link rules
  std::string description;  // what was wrong
};

}  // namespace korvex::emu
