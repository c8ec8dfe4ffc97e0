// Helpers for EMV data: amounts, currency and track 2.
#pragma once

#include <cstdint>
#include <string>

namespace korvex {

// sign(value) * floor(|value| / unit + 0.5 + 1e-13) * unit: halves away from
// zero, with a hair of slack so that 2.675 * 100 rounds up.
double RoundToUnit(double value, double unit);
// "EEK" for 233, "" otherwise.
std::string CurrencySymbol(int32_t code);
// Drops the start sentinel ("B", else ";") and what precedes it, turns the
// first "D" into "=", cuts before the first "F" (else "?").
std::string CleanTrack2(const std::string& track2);

}  // namespace korvex
