// Conversions between text, hexadecimal text, numbers and raw bytes.
//
// Text is a byte string: one character per byte, NUL allowed; lengths count
// characters and positions count from 1. Hexadecimal text is produced in upper
// case and accepted in either case. None of these helpers reports errors:
// malformed input gives a neutral result ("", 0, -1 or a default).
#pragma once

#include <cstdint>
#include <string>

namespace korvex {

// Two upper-case hex digits per input character.
std::string AsciiToHex(const std::string& text);
// One character per two digits; "" for empty or odd-length input. A pair that
// is not hexadecimal becomes the character with code 0.
std::string HexToAscii(const std::string& hex);
// 0 for "" or any non-hex character.
int32_t HexToLong(const std::string& hex);
// 0-15, or -1 when the argument is not exactly one hex digit.
int16_t HexDigitValue(const std::string& ch);
// Decimal digits of |value|, left-padded with "0" to width, or only the
// rightmost width digits when longer; "" for width 0.
std::string ZeroPadNumber(int32_t value, int16_t width);
// The same for values beyond 32 bits, such as amounts in minor units.
std::string ZeroPadNumber(int64_t value, int16_t width);
// The text without its first count characters.
std::string DropLeft(const std::string& text, int16_t count);
std::string ReverseString(const std::string& text);
// Two's-complement bytes, least significant first.
std::string LongToBytes(int32_t value);
std::string IntToBytes(int16_t value);
// The number when the text is numeric and within [minimum, maximum], else default.
int32_t NumberInRange(const std::string& text, int32_t minimum, int32_t maximum, int32_t fallback);

// Numeric text as the host's object model reads it: surrounding blanks, an
// optional sign, digits with at most one decimal point and an optional
// exponent, or &H / &O prefixed hexadecimal / octal digits.
bool IsNumeric(const std::string& text);
// True when the text is not empty and holds only the decimal digits 0-9: no
// blanks, sign, point or exponent, as fixed-width digit fields need.
bool IsDigits(const std::string& text);
// The value of numeric text; 0 when the text is not numeric.
double NumericValue(const std::string& text);
// Conversion to a 16- or 32-bit integer with halves rounded to even; false when
// the text is not numeric or the value does not fit.
bool ToInteger(const std::string& text, int16_t& value);
bool ToLong(const std::string& text, int32_t& value);
// Rounds halves to the even neighbour, as integer conversions of the host do.
double RoundHalfEven(double value);

}  // namespace korvex
