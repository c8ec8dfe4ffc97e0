#include "support/emv_common.h"

#include <cmath>

namespace korvex {

double RoundToUnit(double value, double unit) {
  if (value == 0 || unit == 0) return 0;
  const double sign = value < 0 ? -1.0 : 1.0;
  return sign * std::floor(std::fabs(value) / unit + 0.5 + 1e-13) * unit;
}

std::string CurrencySymbol(int32_t code) { return code == 233 ? "EEK" : ""; }

std::string CleanTrack2(const std::string& track2) {
  std::string t = track2;
  size_t start = t.find('B');
  if (start == std::string::npos) start = t.find(';');
  if (start != std::string::npos) t.erase(0, start + 1);
  const size_t sep = t.find('D');
  if (sep != std::string::npos) t[sep] = '=';
  size_t end = t.find('F');
  if (end == std::string::npos) end = t.find('?');
  if (end != std::string::npos) t.erase(end);
  return t;
}

}  // namespace korvex
