#include "transaction/card_data_checks.h"

#include <algorithm>

namespace korvex {

namespace {

bool Digits(std::string_view s) {
  return std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

int Number(std::string_view two) {
  return (two[0] - '0') * 10 + (two[1] - '0');
}

std::string_view WithoutPadding(std::string_view s) {
  return s.substr(0, s.find_first_of("Ff"));
}

}  // namespace

bool LuhnHolds(std::string_view digits) {
  if (digits.size() < 2 || !Digits(digits)) return false;
  int sum = 0;
  bool twice = false;  // every second digit from the check digit leftwards
  for (auto it = digits.rbegin(); it != digits.rend(); ++it, twice = !twice) {
    int d = *it - '0';
    if (twice) d = d * 2 > 9 ? d * 2 - 9 : d * 2;
    sum += d;
  }
  return sum % 10 == 0;
}

bool IsRealDate(std::string_view date) {
  if ((date.size() != 4 && date.size() != 6) || !Digits(date)) return false;
  const int month = Number(date.substr(2, 2));
  if (month < 1 || month > 12) return false;
  if (date.size() == 4) return true;
  static constexpr int kDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const int year = Number(date.substr(0, 2));
  const int days = month == 2 && year % 4 != 0 ? 28 : kDays[month - 1];
  const int day = Number(date.substr(4, 2));
  return day >= 1 && day <= days;
}

std::string CardDataFault(std::string_view track2, std::string_view pan, std::string_view expiry) {
  const std::string_view number = WithoutPadding(pan);
  if (number.size() < 12) return "the PAN is missing or shorter than 12 digits";
  if (!LuhnHolds(number)) return "the PAN's check digit does not hold";
  if (!expiry.empty() && !IsRealDate(expiry)) return "the expiry date is no date";
  if (track2.empty()) return "";
  const size_t separator = track2.find_first_of("Dd");
  if (track2.substr(0, separator) != number) return "the PAN differs from track 2's";
  const std::string_view rest = WithoutPadding(track2.substr(separator + 1));
  if (rest.size() < 7 || !IsRealDate(rest.substr(0, 4))) return "track 2's expiry is no date";
  return "";
}

}  // namespace korvex
