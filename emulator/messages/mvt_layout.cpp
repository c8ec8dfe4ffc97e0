// MVT record: 47 fields. Fields 1-13 differ between the table's first record
// (the default record) and the others; fields 14-47 are the terminal data,
// fixed apart from country, currency and the identities.
#include <functional>

#include "emulator/messages/message_checks.h"
#include "emulator/messages/record_layout.h"

namespace korvex::emu {
namespace {

using Predicate = std::function<bool(const std::string&)>;

struct FieldRule {
  int field;  // 1-based
  Predicate ok;
  std::string expected;
};

FieldRule Is(int field, std::string value) {
  return {field, [value](const std::string& s) { return s == value; }, "\"" + value + "\""};
}

FieldRule Bytes(int field, std::string value, std::string what) {
  return {field, [value](const std::string& s) { return s == value; }, what};
}

FieldRule Digits(int field, size_t n) {
  return {field, [n](const std::string& s) { return s.size() == n && AllDigits(s); },
          std::to_string(n) + " digits"};
}

const std::string kZero(1, '\0');

std::vector<FieldRule> HeadRules(bool isDefault) {
  std::vector<FieldRule> rules = {
      Bytes(1, "\xFF\xFF", "0xFF 0xFF"), Bytes(2, "\xFF\xFF", "0xFF 0xFF"), Bytes(8, kZero, "0x00"),
      Bytes(9, kZero, "0x00"),           Bytes(10, "\x01", "0x01"),
  };
  if (isDefault) {
    rules.push_back(Bytes(3, kZero, "0x00 (the default record)"));
    for (int f : {4, 5, 6, 7, 11, 12, 13}) rules.push_back(Is(f, ""));
  } else {
    rules.push_back(Bytes(3, "\x01", "0x01 (a record after the default)"));
    rules.push_back(Bytes(4, std::string(2, '\0'), "0x00 0x00"));
    rules.push_back(Bytes(5, kZero, "0x00"));
    rules.push_back(Bytes(6, std::string(4, '\0'), "four bytes 0x00"));
    rules.push_back(Bytes(7, std::string(2, '\0'), "0x00 0x00"));
  }
  return rules;
}

const std::vector<FieldRule>& TerminalRules() {
  static const std::vector<FieldRule> rules = {
      Is(14, "9F02065F2A029A039C0195059F3704"),
      Is(15, "9F3704"),
      Bytes(16, "\xFF\xFF", "0xFF 0xFF"),
      Bytes(17, kZero, "0x00"),
      Is(18, "1"),
      Digits(19, 4),
      Digits(20, 4),
      Is(21, "E0B8D0"),
      Is(22, "7000F0F001"),
      Is(23, "22"),
      Is(25, "R"),
      Is(29, "FF"),
      Is(30, "2"),
      Is(31, "30"),
      Is(32, "B"),
      Is(33, "1"),
      Is(34, "18"),
      Is(35, "1"),
      Is(36, "17"),
      Is(37, "1"),
      Bytes(38, "\x02", "0x02"),
      Bytes(39, kZero, "0x00"),
      Bytes(40, kZero, "0x00"),
      Bytes(41, "\x01", "0x01"),
      Is(42, ""),
      Is(43, ""),
      Is(44, ""),
      Bytes(45, "\x10", "0x10"),
      Bytes(46, kZero, "0x00"),
      Bytes(47, kZero, "0x00"),
  };
  return rules;
}

std::optional<std::string> Apply(const std::vector<FieldRule>& rules,
                                 const std::vector<std::string>& f) {
  for (const auto& r : rules) {
    if (!r.ok(f[r.field - 1])) {
      return "field " + std::to_string(r.field) + ": must be " + r.expected;
    }
  }
  return std::nullopt;
}

}  // namespace

std::optional<std::string> CheckMvtRecord(const std::vector<std::string>& f, size_t position) {
  if (f.size() != size_t(kMvtFieldCount)) {
    return "MVT record has " + std::to_string(f.size()) + " fields, not 47";
  }
  if (auto problem = Apply(HeadRules(position == 1), f)) return problem;
  return Apply(TerminalRules(), f);
}

}  // namespace korvex::emu
