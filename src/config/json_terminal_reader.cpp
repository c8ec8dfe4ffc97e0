// The JSON terminal configuration, checked field by field so that a broken
// file is refused with the place and the nature of the fault.
#include "config/json_terminal_reader.h"

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <initializer_list>
#include <map>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "config/json_terminal_tables.h"
#include "support/code_page.h"
#include "support/conversions.h"
#include "support/json_keeping_error.h"

namespace korvex {
namespace {

using nlohmann::json;

std::string Member(const std::string& path, std::string_view key) {
  return path.empty() ? std::string(key) : path + "." + std::string(key);
}
std::string Item(const std::string& path, size_t index) {
  return path + "[" + std::to_string(index) + "]";
}

bool IsHexText(const std::string& text) {
  for (char c : text) {
    if (HexDigitValue(std::string(1, c)) < 0) return false;
  }
  return true;
}

// Every text of the file, identities, table fields and key identifiers alike.
// With this limit the largest MVT record stays well within the 999 bytes its
// length field can give; EST records, which add up to 25 texts, are measured.
constexpr size_t kMaxTextChars = 64;
const std::string kTooLong = "longer than " + std::to_string(kMaxTextChars) + " characters";

// "U+00E9"
std::string CodePoint(char32_t cp) {
  char text[16];
  std::snprintf(text, sizeof text, "U+%04X", static_cast<unsigned>(cp));
  return text;
}

bool IsDigits(const std::string& text) {
  if (text.empty()) return false;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

class ConfigReader {
 public:
  explicit ConfigReader(const std::string& source) : source_(source) {}

  bool Read(const json& root, JsonTerminal::Config& c) {
    if (!Object(root, "", {"terminal", "pin_bypass", "table4", "table5", "ca_keys", "policies"})) {
      return false;
    }
    const json* v = nullptr;
    if (!Require(root, "", "terminal", v) || !ReadIdentity(*v, "terminal", c)) return false;
    if (const auto it = root.find("pin_bypass"); it != root.end()) {
      if (it->is_boolean()) {
        c.pinBypass = it->get<bool>();
      } else if (!it->is_null()) {
        return Fail("pin_bypass", "expected true, false or null");
      }
    }
    if (!Require(root, "", "table4", v) || !ReadTable(*v, "table4", c.aidTable)) return false;
    if (!Require(root, "", "table5", v) || !ReadTable(*v, "table5", c.mvtTable)) return false;
    if (c.mvtTable.records.empty()) {
      return Fail("table5.records", "empty: a card's policy needs a record of table5");
    }
    if (!Require(root, "", "ca_keys", v) || !ReadKeys(*v, "ca_keys", c.caKeys)) return false;
    if (const auto it = root.find("policies"); it != root.end()) {
      if (!ReadPolicies(*it, "policies", c)) return false;
    }
    if (!CheckPolicyTargets(c)) return false;
    const auto fault = CheckTableRecords(c);
    return !fault || Fail(fault->path, fault->problem);
  }

  bool Fail(const std::string& path, const std::string& problem) {
    error_ = source_ + ": " + (path.empty() ? "top level" : path) + ": " + problem;
    return false;
  }
  const std::string& error() const { return error_; }

 private:
  // An object holding only the known members; members starting with '_' are
  // notes and are ignored.
  bool Object(const json& v, const std::string& path,
              std::initializer_list<std::string_view> known) {
    if (!v.is_object()) return Fail(path, "expected an object");
    for (const auto& item : v.items()) {
      const std::string& key = item.key();
      bool ok = !key.empty() && key[0] == '_';
      for (auto k : known) ok = ok || key == k;
      if (!ok) return Fail(Member(path, key), "unknown field");
    }
    return true;
  }

  bool Require(const json& object, const std::string& path, std::string_view key,
               const json*& out) {
    const auto it = object.find(std::string(key));
    if (it == object.end()) return Fail(Member(path, key), "missing");
    out = &*it;
    return true;
  }

  bool Array(const json& v, const std::string& path) {
    return v.is_array() || Fail(path, "expected an array");
  }

  // A UTF-8 string that reaches the PIN pad unchanged: every character in its
  // code page, no control character (FS separates a record's fields) and
  // short enough that every record built from it fits its length field.
  bool Text(const json& v, const std::string& path, std::string& out) {
    const auto problem = TextProblem(v, out);
    return !problem || Fail(path, *problem);
  }
  // The same, naming the fault instead of the place: a table's fields are
  // many, and their places are spelled out only for a field that is wrong.
  static std::optional<std::string> TextProblem(const json& v, std::string& out) {
    if (!v.is_string()) return "expected a string";
    const auto& utf8 = v.get_ref<const std::string&>();
    if (utf8.size() > 4 * kMaxTextChars) return kTooLong;
    char32_t missing = 0;
    if (!Utf8ToCodePageExact(utf8, out, missing)) {
      return CodePoint(missing) + " is not in the PIN pad's code page (Windows-1257)";
    }
    if (out.size() > kMaxTextChars) return kTooLong;
    for (const char c : out) {
      const auto byte = static_cast<unsigned char>(c);
      if (byte < 0x20 || byte == 0x7F) return "control character " + CodePoint(byte);
    }
    return std::nullopt;
  }
  bool Text(const json& object, const std::string& path, std::string_view key, std::string& out) {
    const json* v = nullptr;
    return Require(object, path, key, v) && Text(*v, Member(path, key), out);
  }

  bool Int16(const json& v, const std::string& path, int32_t low, int32_t high, int16_t& out) {
    if (!v.is_number_integer()) return Fail(path, "expected an integer");
    const bool huge = v.is_number_unsigned() && v.get<uint64_t>() > static_cast<uint64_t>(high);
    const int64_t n = huge ? int64_t{high} + 1 : v.get<int64_t>();
    if (n < low || n > high) {
      return Fail(path,
                  "out of range (" + std::to_string(low) + " to " + std::to_string(high) + ")");
    }
    out = static_cast<int16_t>(n);
    return true;
  }

  // A numeric code (country, currency): an integer or a text of digits.
  bool Code(const json& object, const std::string& path, std::string_view key, std::string& out) {
    const json* v = nullptr;
    if (!Require(object, path, key, v)) return false;
    const std::string at = Member(path, key);
    if (v->is_number_integer()) {
      int16_t n = 0;
      if (!Int16(*v, at, 0, 9999, n)) return false;
      out = std::to_string(n);
      return true;
    }
    if (!v->is_string()) return Fail(at, "expected a numeric code");
    out = v->get<std::string>();
    return IsDigits(out) && out.size() <= 4 ? true
                                            : Fail(at, "not a numeric code of 1 to 4 digits");
  }

  // Hexadecimal text, returned as bytes.
  bool Hex(const json& v, const std::string& path, std::string& bytes) {
    if (!v.is_string()) return Fail(path, "expected a hexadecimal string");
    const std::string hex = v.get<std::string>();
    if (!IsHexText(hex)) return Fail(path, "not hexadecimal");
    if (hex.size() % 2 != 0) return Fail(path, "odd number of hexadecimal digits");
    bytes = HexToAscii(hex);
    return true;
  }

  bool ReadIdentity(const json& v, const std::string& path, JsonTerminal::Config& c) {
    return Object(v, path,
                  {"country", "currency", "terminal_id", "merchant_id", "acquirer_id",
                   "table1_field1"}) &&
           Code(v, path, "country", c.country) && Code(v, path, "currency", c.currency) &&
           Text(v, path, "terminal_id", c.terminalId) &&
           Text(v, path, "merchant_id", c.merchantId) &&
           Text(v, path, "acquirer_id", c.acquirerId) &&
           Text(v, path, "table1_field1", c.table1Field1);
  }

  bool ReadTable(const json& v, const std::string& path, JsonTerminal::Table& table) {
    const json* records = nullptr;
    if (!Object(v, path, {"reference", "records"}) ||
        !Text(v, path, "reference", table.reference) || !Require(v, path, "records", records)) {
      return false;
    }
    // Characters 3 to 8 go into the version record the PIN pad keeps.
    if (table.reference.size() < 8)
      return Fail(Member(path, "reference"), "shorter than 8 characters");
    const std::string at = Member(path, "records");
    if (!Array(*records, at)) return false;
    if (records->size() > INT16_MAX) return Fail(at, "more than 32767 records");
    for (size_t r = 0; r < records->size(); ++r) {
      const json& record = (*records)[r];
      if (!record.is_array()) return Array(record, Item(at, r));
      if (record.size() > INT16_MAX) return Fail(Item(at, r), "more than 32767 fields");
      auto& fields = table.records.emplace_back();
      for (size_t k = 0; k < record.size(); ++k) {
        if (const auto problem = TextProblem(record[k], fields.emplace_back())) {
          return Fail(Item(Item(at, r), k), *problem);
        }
      }
    }
    return true;
  }

  bool ReadKeys(const json& v, const std::string& path, std::vector<JsonTerminal::CaKey>& keys) {
    if (!Array(v, path)) return false;
    if (v.size() > INT16_MAX) return Fail(path, "more than 32767 keys");
    for (size_t i = 0; i < v.size(); ++i) {
      if (!ReadKey(v[i], Item(path, i), keys.emplace_back())) return false;
    }
    return true;
  }

  bool ReadKey(const json& v, const std::string& path, JsonTerminal::CaKey& key) {
    if (!Object(v, path, {"id", "field7", "field8", "field12", "field13", "field14", "field15"}) ||
        !Text(v, path, "id", key.id)) {
      return false;
    }
    if (key.id.empty()) return Fail(Member(path, "id"), "empty");
    for (const int16_t n : {7, 8, 12, 13, 14, 15}) {
      const std::string name = "field" + std::to_string(n);
      const json* value = nullptr;
      if (!Require(v, path, name, value) || !Hex(*value, Member(path, name), key.fields[n])) {
        return false;
      }
    }
    return CheckLength(path, key, 7, 5) && CheckLength(path, key, 12, 1) &&
           CheckLength(path, key, 13, 1) && CheckMeasured(path, key, 12, 14) &&
           CheckMeasured(path, key, 13, 15);
  }

  bool CheckLength(const std::string& path, JsonTerminal::CaKey& key, int16_t n, size_t bytes) {
    if (key.fields[n].size() == bytes) return true;
    return Fail(Member(path, "field" + std::to_string(n)),
                "must be " + std::to_string(bytes) + (bytes == 1 ? " byte" : " bytes") + ", not " +
                    std::to_string(key.fields[n].size()));
  }

  // The length byte and the value it measures must agree.
  bool CheckMeasured(const std::string& path, JsonTerminal::CaKey& key, int16_t lengthField,
                     int16_t valueField) {
    const size_t expected = static_cast<unsigned char>(key.fields[lengthField][0]);
    const size_t actual = key.fields[valueField].size();
    if (expected == actual) return true;
    return Fail(Member(path, "field" + std::to_string(valueField)),
                std::to_string(actual) + " bytes where field" + std::to_string(lengthField) +
                    " says " + std::to_string(expected));
  }

  bool ReadPolicies(const json& v, const std::string& path, JsonTerminal::Config& c) {
    if (!Object(v, path, {"aid", "pan_ranges", "table5_records"})) return false;
    if (const auto it = v.find("aid"); it != v.end()) {
      const std::string at = Member(path, "aid");
      if (!Array(*it, at)) return false;
      for (size_t i = 0; i < it->size(); ++i) {
        if (!ReadAidRule((*it)[i], Item(at, i), c.aidRules.emplace_back())) return false;
      }
    }
    if (const auto it = v.find("pan_ranges"); it != v.end()) {
      const std::string at = Member(path, "pan_ranges");
      if (!Array(*it, at)) return false;
      for (size_t i = 0; i < it->size(); ++i) {
        if (!ReadPanRange((*it)[i], Item(at, i), c.panRanges.emplace_back())) return false;
      }
    }
    if (const auto it = v.find("table5_records"); it != v.end()) {
      const std::string at = Member(path, "table5_records");
      if (!Array(*it, at)) return false;
      const auto records = static_cast<int32_t>(c.mvtTable.records.size());
      for (size_t i = 0; i < it->size(); ++i) {
        if (!ReadPolicyRecord((*it)[i], Item(at, i), records, c.policyRecords)) return false;
      }
    }
    return true;
  }

  bool ReadAidRule(const json& v, const std::string& path, JsonTerminal::AidRule& rule) {
    const json* field = nullptr;
    if (!Object(v, path, {"aid", "issuer_country", "policy"}) || !Require(v, path, "aid", field)) {
      return false;
    }
    const std::string at = Member(path, "aid");
    if (!field->is_string()) return Fail(at, "expected a hexadecimal string");
    rule.aidPrefix = field->get<std::string>();
    if (rule.aidPrefix.empty() || !IsHexText(rule.aidPrefix)) return Fail(at, "not hexadecimal");
    for (char& ch : rule.aidPrefix)
      ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
    if (const auto it = v.find("issuer_country"); it != v.end()) {
      int16_t country = 0;
      if (!Int16(*it, Member(path, "issuer_country"), 0, 9999, country)) return false;
      rule.issuerCountry = country;
    }
    return Require(v, path, "policy", field) &&
           Int16(*field, Member(path, "policy"), INT16_MIN, INT16_MAX, rule.policy);
  }

  bool ReadPanRange(const json& v, const std::string& path, JsonTerminal::PanRange& range) {
    if (!Object(v, path, {"low", "high", "policy"})) return false;
    for (const auto& [key, out] : {std::pair<const char*, std::string*>{"low", &range.low},
                                   std::pair<const char*, std::string*>{"high", &range.high}}) {
      const json* field = nullptr;
      if (!Require(v, path, key, field)) return false;
      const std::string at = Member(path, key);
      if (!field->is_string()) return Fail(at, "expected a string of digits");
      *out = field->get<std::string>();
      if (!IsDigits(*out) || out->size() > 19) return Fail(at, "not 1 to 19 decimal digits");
    }
    if (range.low.size() != range.high.size()) {
      return Fail(Member(path, "high"), "not as long as low");
    }
    if (range.low > range.high) return Fail(Member(path, "high"), "below low");
    const json* policy = nullptr;
    return Require(v, path, "policy", policy) &&
           Int16(*policy, Member(path, "policy"), INT16_MIN, INT16_MAX, range.policy);
  }

  bool ReadPolicyRecord(const json& v, const std::string& path, int32_t records,
                        std::map<int16_t, int16_t>& map) {
    const json* field = nullptr;
    int16_t policy = 0;
    int16_t record = 0;
    if (!Object(v, path, {"policy", "record"}) || !Require(v, path, "policy", field) ||
        !Int16(*field, Member(path, "policy"), INT16_MIN, INT16_MAX, policy) ||
        !Require(v, path, "record", field) ||
        !Int16(*field, Member(path, "record"), INT16_MIN, INT16_MAX, record)) {
      return false;
    }
    if (record < 1 || record > records) {
      return Fail(Member(path, "record"), "bad index " + std::to_string(record) + ": table5 has " +
                                              std::to_string(records) + " records");
    }
    if (!map.emplace(policy, record).second) {
      return Fail(Member(path, "policy"), "policy " + std::to_string(policy) + " mapped twice");
    }
    return true;
  }

  // Every policy a card can get must lead to a table-5 record that exists, or
  // the PIN pad would be sent the empty fields of a missing record. Policy 0,
  // what a card gets when no rule matches, uses record 1 unless mapped.
  bool CheckPolicyTargets(JsonTerminal::Config& c) {
    c.policyRecords.emplace(0, 1);
    for (size_t i = 0; i < c.aidRules.size(); ++i) {
      if (!PolicyMapped(c, c.aidRules[i].policy, Item("policies.aid", i))) return false;
    }
    for (size_t i = 0; i < c.panRanges.size(); ++i) {
      if (!PolicyMapped(c, c.panRanges[i].policy, Item("policies.pan_ranges", i))) return false;
    }
    return true;
  }

  // Negative policies mean "no policy" to the control and fall back to 0.
  bool PolicyMapped(const JsonTerminal::Config& c, int16_t policy, const std::string& path) {
    if (policy < 0 || c.policyRecords.contains(policy)) return true;
    return Fail(Member(path, "policy"),
                "policy " + std::to_string(policy) + " has no record in policies.table5_records");
  }

  std::string source_;
  std::string error_;
};

// "[json.exception.parse_error.101] parse error at ..." without the prefix.
std::string ParserMessage(const std::string& what) {
  const auto close = what.find("] ");
  return close == std::string::npos ? what : what.substr(close + 2);
}

}  // namespace

bool ReadTerminalConfig(const std::string& text, const std::string& source,
                        JsonTerminal::Config& config, std::string& error) {
  ConfigReader reader(source);
  try {
    json root;
    if (!ParseKeepingError(text, root, error)) {
      error = source + ": " + ParserMessage(error);
      return false;
    }
    JsonTerminal::Config parsed;
    if (!reader.Read(root, parsed)) {
      error = reader.error();
      return false;
    }
    config = std::move(parsed);
    return true;
  } catch (const json::exception& e) {
    error = source + ": " + ParserMessage(e.what());
  } catch (const std::exception& e) {
    error = source + ": " + e.what();
  }
  return false;
}

}  // namespace korvex
