// Microseconds of the real steady clock, counted from the first reading, for
// the adapters that run the emulator in real time.
#pragma once

#include <chrono>
#include <cstdint>

namespace korvex::emu {

inline int64_t SteadyNowUs() {
  using namespace std::chrono;
  static const steady_clock::time_point start = steady_clock::now();
  return duration_cast<microseconds>(steady_clock::now() - start).count();
}

}  // namespace korvex::emu
