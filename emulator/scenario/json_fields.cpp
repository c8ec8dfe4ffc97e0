#include "emulator/scenario/json_fields.h"

#include <cctype>

#include "emulator/scenario/scenario.h"

namespace korvex::emu::json_fields {
namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string FromHex(const std::string& hex, const std::string& path) {
  if (hex.size() % 2 != 0) Fail(path, "hex text of odd length");
  std::string out;
  out.reserve(hex.size() / 2);
  for (size_t i = 0; i < hex.size(); i += 2) {
    const int hi = HexValue(hex[i]);
    const int lo = HexValue(hex[i + 1]);
    if (hi < 0 || lo < 0) Fail(path, "not hex text");
    out += static_cast<char>(hi * 16 + lo);
  }
  return out;
}

// JSON strings arrive as UTF-8; every character must be U+0000-U+00FF.
std::string Latin1(const std::string& utf8, const std::string& path) {
  std::string out;
  out.reserve(utf8.size());
  for (size_t i = 0; i < utf8.size(); ++i) {
    const auto c = static_cast<unsigned char>(utf8[i]);
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if ((c == 0xC2 || c == 0xC3) && i + 1 < utf8.size()) {
      out += static_cast<char>(((c & 0x03) << 6) | (static_cast<unsigned char>(utf8[++i]) & 0x3F));
    } else {
      Fail(path, "characters above U+00FF cannot stand for a byte; use {\"hex\": ...}");
    }
  }
  return out;
}

// A key as JSON spells it where it is a control character (\u0000): the key
// comes from the file, and a NUL in it would end the error's text when printed.
std::string Spelled(const std::string& key) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string out;
  for (const char c : key) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) {
      out += "\\u00";
      out += kHex[byte >> 4];
      out += kHex[byte & 0xF];
    } else {
      out += c;
    }
  }
  return out;
}

}  // namespace

std::string Join(const std::string& path, const std::string& key) {
  return path.empty() ? Spelled(key) : path + "." + Spelled(key);
}

void Fail(const std::string& path, const std::string& message) {
  throw ScenarioError(path, message);
}

void ExpectObject(const json& j, const std::string& path, std::initializer_list<const char*> keys) {
  if (!j.is_object()) Fail(path, "expected an object");
  for (const auto& item : j.items()) {
    bool known = false;
    for (const char* k : keys) known = known || item.key() == k;
    if (!known) Fail(Join(path, item.key()), "unknown field");
  }
}

bool Bool(const json& j, const std::string& path) {
  if (!j.is_boolean()) Fail(path, "expected a boolean");
  return j.get<bool>();
}

int64_t Integer(const json& j, const std::string& path, int64_t min, int64_t max) {
  if (!j.is_number_integer()) Fail(path, "expected an integer");
  // Above INT64_MAX the signed value would wrap, 2^64 - 1 to -1 ("never").
  const bool huge = j.is_number_unsigned() && j.get<uint64_t>() > uint64_t(INT64_MAX);
  const int64_t v = huge ? INT64_MAX : j.get<int64_t>();
  if (huge || v < min || v > max) {
    Fail(path, "expected a value from " + std::to_string(min) + " to " + std::to_string(max));
  }
  return v;
}

double Number(const json& j, const std::string& path, double min, double max) {
  if (!j.is_number()) Fail(path, "expected a number");
  const double v = j.get<double>();
  if (v < min || v > max) Fail(path, "out of range");
  return v;
}

std::string Text(const json& j, const std::string& path) {
  if (!j.is_string()) Fail(path, "expected a string");
  return j.get<std::string>();
}

std::string Status(const json& j, const std::string& path) {
  const std::string s = Text(j, path);
  if (s.size() != 2 || !std::isdigit(static_cast<unsigned char>(s[0])) ||
      !std::isdigit(static_cast<unsigned char>(s[1]))) {
    Fail(path, "expected a status of two digits");
  }
  return s;
}

std::string Bytes(const json& j, const std::string& path) {
  if (j.is_string()) return Latin1(j.get_ref<const std::string&>(), path);
  if (j.is_object()) {
    ExpectObject(j, path, {"hex"});
    if (!j.contains("hex")) Fail(Join(path, "hex"), "missing");
    return FromHex(Text(j["hex"], Join(path, "hex")), Join(path, "hex"));
  }
  Fail(path, "expected a string or {\"hex\": ...}");
}

std::string ToHex(const std::string& bytes) {
  static const char* kDigits = "0123456789ABCDEF";
  std::string out;
  out.reserve(bytes.size() * 2);
  for (unsigned char c : bytes) {
    out += kDigits[c >> 4];
    out += kDigits[c & 15];
  }
  return out;
}

}  // namespace korvex::emu::json_fields
