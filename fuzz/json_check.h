// Whether a text is one JSON value, checked without allocating anything: the
// bridge target checks every line the bridge writes, and the JSON library's
// own check builds its token buffers afresh for each line, which under the
// sanitizers cost more than the bridge's work on the line.
//
// The grammar is JSON's, as strict as the library's parser: no control
// characters in strings, only UTF-8 (no overlong forms, surrogates or code
// points past U+10FFFF), escapes of the short forms or \uXXXX with surrogates
// only in pairs, and numbers without leading zeros. Only the size of a number
// is not checked: the library refuses one past a double's range.
//
// The UTF-8 rules repeat those of the bridge's quoting (cli/byte_text.cpp) on
// purpose: a check that called the code it checks would share its mistakes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace korvex::fuzz {

namespace json_check {

class Cursor {
 public:
  explicit Cursor(std::string_view text) : s_(text) {}

  bool End() const { return i_ >= s_.size(); }
  // The byte here, 0 past the end (a text's own 0 byte is refused everywhere).
  uint8_t At(size_t ahead = 0) const {
    return i_ + ahead < s_.size() ? static_cast<uint8_t>(s_[i_ + ahead]) : 0;
  }
  void Skip(size_t n = 1) { i_ += n; }
  bool Eat(char c) {
    if (End() || s_[i_] != c) return false;
    ++i_;
    return true;
  }
  bool Word(std::string_view word) {
    if (s_.substr(i_, word.size()) != word) return false;
    i_ += word.size();
    return true;
  }
  void SkipSpace() {
    while (!End() && (s_[i_] == ' ' || s_[i_] == '\t' || s_[i_] == '\n' || s_[i_] == '\r')) ++i_;
  }
  // Skips the bytes that stand for themselves in a string (printable ASCII
  // but the quote and the backslash): nearly every byte of a line, in one
  // tight loop rather than a call of At() each.
  void SkipPlain() {
    while (i_ < s_.size()) {
      const auto b = static_cast<uint8_t>(s_[i_]);
      if (b < 0x20 || b >= 0x80 || b == '"' || b == '\\') return;
      ++i_;
    }
  }
  bool Digits() {
    const size_t start = i_;
    while (At() >= '0' && At() <= '9') ++i_;
    return i_ > start;
  }

 private:
  std::string_view s_;
  size_t i_ = 0;
};

// The length of the UTF-8 character starting with a byte from 0x80 up; 0 when
// the bytes there are not UTF-8.
inline size_t Utf8Length(const Cursor& c) {
  const uint8_t lead = c.At();
  uint8_t low = 0x80, high = 0xBF;  // the range of the second byte
  size_t length = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;   // not overlong
    if (lead == 0xED) high = 0x9F;  // not a surrogate
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;   // not overlong
    if (lead == 0xF4) high = 0x8F;  // not past U+10FFFF
  } else {
    return 0;
  }
  if (c.At(1) < low || c.At(1) > high) return 0;
  for (size_t k = 2; k < length; ++k) {
    if (c.At(k) < 0x80 || c.At(k) > 0xBF) return 0;
  }
  return length;
}

inline bool Hex4(Cursor& c, uint32_t& value) {
  value = 0;
  for (int k = 0; k < 4; ++k) {
    const uint8_t h = c.At();
    c.Skip();
    const int digit = h >= '0' && h <= '9'   ? h - '0'
                      : h >= 'a' && h <= 'f' ? h - 'a' + 10
                      : h >= 'A' && h <= 'F' ? h - 'A' + 10
                                             : -1;
    if (digit < 0) return false;
    value = value << 4 | static_cast<uint32_t>(digit);
  }
  return true;
}

// After the backslash.
inline bool Escape(Cursor& c) {
  if (c.End()) return false;
  const uint8_t e = c.At();
  c.Skip();
  if (std::string_view("\"\\/bfnrt").find(static_cast<char>(e)) != std::string_view::npos) {
    return true;
  }
  uint32_t unit = 0;
  if (e != 'u' || !Hex4(c, unit)) return false;
  if (unit >= 0xDC00 && unit <= 0xDFFF) return false;  // a low surrogate first
  if (unit < 0xD800 || unit > 0xDBFF) return true;
  return c.Word("\\u") && Hex4(c, unit) && unit >= 0xDC00 && unit <= 0xDFFF;
}

inline bool String(Cursor& c) {
  if (!c.Eat('"')) return false;
  while (!c.End()) {
    c.SkipPlain();
    if (c.End()) return false;
    const uint8_t b = c.At();
    if (b == '"') {
      c.Skip();
      return true;
    }
    if (b < 0x20) return false;
    if (b >= 0x80) {
      const size_t length = Utf8Length(c);
      if (length == 0) return false;
      c.Skip(length);
    } else {
      c.Skip();
      if (b == '\\' && !Escape(c)) return false;
    }
  }
  return false;
}

inline bool Number(Cursor& c) {
  c.Eat('-');
  if (!c.Eat('0')) {
    if (c.At() < '1' || c.At() > '9') return false;
    c.Digits();
  }
  if (c.Eat('.') && !c.Digits()) return false;
  if (c.Eat('e') || c.Eat('E')) {
    if (!c.Eat('+')) c.Eat('-');
    if (!c.Digits()) return false;
  }
  return true;
}

inline bool Value(Cursor& c);

inline bool Elements(Cursor& c) {
  c.Skip();  // '['
  c.SkipSpace();
  if (c.Eat(']')) return true;
  do {
    if (!Value(c)) return false;
  } while (c.Eat(','));
  return c.Eat(']');
}

inline bool Members(Cursor& c) {
  c.Skip();  // '{'
  c.SkipSpace();
  if (c.Eat('}')) return true;
  do {
    c.SkipSpace();
    if (!String(c)) return false;
    c.SkipSpace();
    if (!c.Eat(':') || !Value(c)) return false;
  } while (c.Eat(','));
  return c.Eat('}');
}

// A value with the white space around it.
inline bool Value(Cursor& c) {
  c.SkipSpace();
  bool ok = false;
  switch (c.At()) {
    case '{': ok = Members(c); break;
    case '[': ok = Elements(c); break;
    case '"': ok = String(c); break;
    case 't': ok = c.Word("true"); break;
    case 'f': ok = c.Word("false"); break;
    case 'n': ok = c.Word("null"); break;
    default: ok = Number(c); break;
  }
  c.SkipSpace();
  return ok;
}

}  // namespace json_check

// Out of line, so that the fuzzer's coverage leaves it out (see
// coverage_ignore.txt) wherever it is called.
[[gnu::noinline]] inline bool IsJson(std::string_view text) {
  json_check::Cursor c(text);
  return json_check::Value(c) && c.End();
}

}  // namespace korvex::fuzz
