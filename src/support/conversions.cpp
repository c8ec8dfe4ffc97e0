#include "support/conversions.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace korvex {

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

bool AllDigits(const std::string& s, size_t from, size_t to, int base) {
  if (from >= to) return false;
  for (size_t i = from; i < to; ++i) {
    const int c = static_cast<unsigned char>(s[i]);
    const bool ok = base == 16 ? std::isxdigit(c) != 0 : (c >= '0' && c < '0' + base);
    if (!ok) return false;
  }
  return true;
}

// Parses numeric text; returns false when it is not numeric.
bool ParseNumeric(const std::string& text, double& value) {
  size_t b = 0, e = text.size();
  while (b < e && IsBlank(text[b])) ++b;
  while (e > b && IsBlank(text[e - 1])) --e;
  if (b == e) return false;

  // &H1F and &O17: unsigned hexadecimal and octal literals.
  if (e - b > 2 && text[b] == '&') {
    const char kind = static_cast<char>(std::toupper(static_cast<unsigned char>(text[b + 1])));
    const int base = kind == 'H' ? 16 : kind == 'O' ? 8 : 0;
    if (base == 0 || !AllDigits(text, b + 2, e, base) || e - b - 2 > 11) return false;
    value = static_cast<double>(std::strtoll(text.substr(b + 2, e - b - 2).c_str(), nullptr, base));
    return true;
  }

  size_t i = b;
  if (text[i] == '+' || text[i] == '-') ++i;
  size_t digits = 0;
  bool point = false;
  for (; i < e; ++i) {
    const char c = text[i];
    if (c >= '0' && c <= '9') {
      ++digits;
    } else if (c == '.' && !point) {
      point = true;
    } else {
      break;
    }
  }
  if (digits == 0) return false;
  if (i < e) {
    const char c = static_cast<char>(std::toupper(static_cast<unsigned char>(text[i])));
    if (c != 'E' && c != 'D') return false;
    ++i;
    if (i < e && (text[i] == '+' || text[i] == '-')) ++i;
    if (!AllDigits(text, i, e, 10)) return false;
  }
  std::string normal = text.substr(b, e - b);
  for (char& c : normal) {
    if (c == 'd' || c == 'D') c = 'E';
  }
  value = std::strtod(normal.c_str(), nullptr);
  return std::isfinite(value);
}

template <typename T>
bool ToWhole(const std::string& text, T& out) {
  double v = 0;
  if (!ParseNumeric(text, v)) return false;
  const double r = RoundHalfEven(v);
  if (r < std::numeric_limits<T>::min() || r > std::numeric_limits<T>::max()) return false;
  out = static_cast<T>(r);
  return true;
}

}  // namespace

std::string AsciiToHex(const std::string& text) {
  std::string hex(text.size() * 2, '0');
  for (size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    hex[2 * i] = kHexDigits[c >> 4];
    hex[2 * i + 1] = kHexDigits[c & 0x0F];
  }
  return hex;
}

std::string HexToAscii(const std::string& hex) {
  if (hex.empty() || hex.size() % 2 != 0) return "";
  std::string text(hex.size() / 2, '\0');
  for (size_t i = 0; i < text.size(); ++i) {
    text[i] = static_cast<char>(HexToLong(hex.substr(2 * i, 2)));
  }
  return text;
}

int32_t HexToLong(const std::string& hex) {
  constexpr int64_t kMax = std::numeric_limits<int32_t>::max();
  int64_t acc = 0;
  // Every character is checked, even once the value is past the range: a text
  // holding a non-hex character is 0 wherever that character stands.
  for (char c : hex) {
    const int16_t d = HexDigitValue(std::string(1, c));
    if (d < 0) return 0;
    // Out of the helper's range: saturate rather than wrap.
    acc = std::min(acc * 16 + d, kMax + 1);
  }
  return static_cast<int32_t>(std::min(acc, kMax));
}

int16_t HexDigitValue(const std::string& ch) {
  if (ch.size() != 1) return -1;
  const char c = static_cast<char>(std::toupper(static_cast<unsigned char>(ch[0])));
  if (c >= '0' && c <= '9') return static_cast<int16_t>(c - '0');
  if (c >= 'A' && c <= 'F') return static_cast<int16_t>(c - 'A' + 10);
  return -1;
}

std::string ZeroPadNumber(int32_t value, int16_t width) {
  return ZeroPadNumber(static_cast<int64_t>(value), width);
}

std::string ZeroPadNumber(int64_t value, int16_t width) {
  if (width <= 0) return "";
  // Unsigned, so that the magnitude of INT64_MIN is representable.
  const uint64_t magnitude =
      value < 0 ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
  std::string digits = std::to_string(magnitude);
  const auto w = static_cast<size_t>(width);
  if (digits.size() > w) return digits.substr(digits.size() - w);
  return std::string(w - digits.size(), '0') + digits;
}

std::string DropLeft(const std::string& text, int16_t count) {
  if (count < 1) return text;
  const auto n = static_cast<size_t>(count);
  return text.size() > n ? text.substr(n) : std::string();
}

std::string ReverseString(const std::string& text) {
  return std::string(text.rbegin(), text.rend());
}

std::string LongToBytes(int32_t value) {
  const auto u = static_cast<uint32_t>(value);
  std::string bytes(4, '\0');
  for (int i = 0; i < 4; ++i) bytes[i] = static_cast<char>((u >> (8 * i)) & 0xFF);
  return bytes;
}

std::string IntToBytes(int16_t value) {
  const auto u = static_cast<uint16_t>(value);
  return std::string{static_cast<char>(u & 0xFF), static_cast<char>(u >> 8)};
}

int32_t NumberInRange(const std::string& text, int32_t minimum, int32_t maximum, int32_t fallback) {
  int32_t n = 0;
  if (!ToLong(text, n)) return fallback;
  return (n < minimum || n > maximum) ? fallback : n;
}

bool IsNumeric(const std::string& text) {
  double v = 0;
  return ParseNumeric(text, v);
}

bool IsDigits(const std::string& text) {
  return !text.empty() && std::ranges::all_of(text, [](char c) { return c >= '0' && c <= '9'; });
}

double NumericValue(const std::string& text) {
  double v = 0;
  return ParseNumeric(text, v) ? v : 0.0;
}

bool ToInteger(const std::string& text, int16_t& value) {
  return ToWhole(text, value);
}
bool ToLong(const std::string& text, int32_t& value) {
  return ToWhole(text, value);
}

double RoundHalfEven(double value) {
  return std::nearbyint(value);
}

}  // namespace korvex
