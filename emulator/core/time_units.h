// The core counts microseconds, so a paced line is exact to the byte;
// settings, scenarios and printed times are in milliseconds.
#pragma once

#include <cstdint>
#include <string>

namespace korvex::emu {

constexpr int64_t kUsPerMs = 1000;

constexpr int64_t MsToUs(int64_t ms) {
  return ms * kUsPerMs;
}

// A time of the run (never negative) in milliseconds for people: "12" for a
// whole millisecond, else "12.345".
inline std::string MsText(int64_t us) {
  const std::string whole = std::to_string(us / kUsPerMs);
  const int64_t fraction = us % kUsPerMs;
  if (fraction == 0) return whole;
  const std::string digits = std::to_string(fraction);
  return whole + "." + std::string(3 - digits.size(), '0') + digits;
}

}  // namespace korvex::emu
