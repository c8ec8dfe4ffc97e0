// The two ways an amount is written for the PIN pad. The chip application gets
// whole minor units rounded half to even, the cardholder's confirmation screen
// rounds half away from zero: for the same amount the two may differ by one
// minor unit (0.125 is 12 in C00 and 0.13 on the screen).
#pragma once

#include <cstdint>
#include <string>

namespace korvex {

// The 12-digit minor-unit field of C00 and C010: |amount × 100| rounded half
// to even, only its last 12 digits kept. A value that is not finite gives
// zeros; the public methods refuse such amounts before they get here.
std::string AmountField(double Amount);

// The 16 characters shown for the amount confirmation: the amount with two
// decimals, a blank and the currency symbol ("1.25 EEK"), padded with blanks
// or cut to 16. A negative amount shows its sign in front ("-0.05 ").
std::string ConfirmationAmountText(double Amount, int16_t CurrencyCode);

}  // namespace korvex
