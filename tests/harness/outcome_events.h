// An event sink that remembers the last success and error codes and keeps
// nothing else: for drivers (benchmarks, fuzzing) that only wait for the
// outcome of each call.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "korvex/events.h"

namespace korvex::testing {

class OutcomeEvents : public KorvexEvents {
 public:
  void InterfaceEvent(int32_t& type, int32_t& code, std::string&) override {
    if (type == 0) success = code;
    if (type == 1 || type == 3) error = code;
  }
  void DebugEvent(int16_t&, std::string&) override {}
  std::optional<int32_t> success, error;
};

}  // namespace korvex::testing
