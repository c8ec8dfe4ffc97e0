#include "transaction/amounts.h"

#include <cmath>
#include <cstdio>

#include "support/conversions.h"
#include "support/emv_common.h"

namespace korvex {

std::string AmountField(double Amount) {
  // Reduced to 12 digits while still a double: no integer type holds every
  // amount a double can carry.
  const double minor = std::fmod(std::fabs(RoundHalfEven(Amount * 100)), 1e12);
  if (!std::isfinite(minor)) return ZeroPadNumber(int64_t{0}, 12);
  return ZeroPadNumber(static_cast<int64_t>(minor), 12);
}

std::string ConfirmationAmountText(double Amount, int16_t CurrencyCode) {
  const double minor = RoundToUnit(Amount * 100, 1);
  char buffer[400];
  std::snprintf(buffer, sizeof buffer, "%.0f", std::fabs(minor));
  std::string digits = buffer;
  if (digits.size() < 3) digits.insert(0, 3 - digits.size(), '0');  // 5 -> 005 -> 0.05
  digits.insert(digits.size() - 2, ".");
  std::string text = (minor < 0 ? "-" : "") + digits + " " + CurrencySymbol(CurrencyCode);
  text.resize(16, ' ');
  return text;
}

}  // namespace korvex
