#include "cli/byte_text.h"

#include <cstdint>
#include <cstdio>
#include <nlohmann/json.hpp>

namespace korvex::cli {

namespace {

bool IsContinuation(uint8_t b) {
  return (b & 0xC0) == 0x80;
}

std::string CodePointName(uint32_t cp) {
  char name[16];
  std::snprintf(name, sizeof name, "U+%04X", static_cast<unsigned>(cp));
  return name;
}

// Decodes the character starting at `pos`; 0 when the bytes there are not
// UTF-8 (stray continuation, truncated sequence, overlong form, surrogate or
// beyond U+10FFFF), else its length in bytes.
size_t DecodeOne(std::string_view s, size_t pos, uint32_t& cp) {
  const auto lead = static_cast<uint8_t>(s[pos]);
  size_t len = 0;
  uint32_t min = 0;
  if (lead < 0x80) {
    cp = lead;
    return 1;
  } else if ((lead & 0xE0) == 0xC0) {
    len = 2, min = 0x80, cp = lead & 0x1F;
  } else if ((lead & 0xF0) == 0xE0) {
    len = 3, min = 0x800, cp = lead & 0x0F;
  } else if ((lead & 0xF8) == 0xF0) {
    len = 4, min = 0x10000, cp = lead & 0x07;
  } else {
    return 0;
  }
  if (pos + len > s.size()) return 0;
  for (size_t i = 1; i < len; ++i) {
    const auto b = static_cast<uint8_t>(s[pos + i]);
    if (!IsContinuation(b)) return 0;
    cp = (cp << 6) | (b & 0x3F);
  }
  if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
  return len;
}

bool IsUtf8(std::string_view s) {
  for (size_t pos = 0; pos < s.size();) {
    uint32_t cp = 0;
    const size_t len = DecodeOne(s, pos, cp);
    if (len == 0) return false;
    pos += len;
  }
  return true;
}

// An ASCII character inside a JSON string: the quote, the backslash and the
// controls escaped, those with a short form (\b \t \n \f \r) by it and the
// others as \u00xx in lower case, as the JSON library writes them.
void AppendEscapedAscii(std::string& out, char c) {
  switch (c) {
    case '"': out += "\\\""; return;
    case '\\': out += "\\\\"; return;
    case '\b': out += "\\b"; return;
    case '\t': out += "\\t"; return;
    case '\n': out += "\\n"; return;
    case '\f': out += "\\f"; return;
    case '\r': out += "\\r"; return;
    default: break;
  }
  if (static_cast<uint8_t>(c) < 0x20) {
    constexpr char kHex[] = "0123456789abcdef";
    out += "\\u00";
    out += kHex[c >> 4];
    out += kHex[c & 0xF];
  } else {
    out += c;
  }
}

}  // namespace

std::string BytesToUtf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size() * 2);
  for (const char c : bytes) {
    const auto b = static_cast<uint8_t>(c);
    if (b < 0x80) {
      out += c;
    } else {
      out += static_cast<char>(0xC0 | (b >> 6));
      out += static_cast<char>(0x80 | (b & 0x3F));
    }
  }
  return out;
}

bool Utf8ToBytes(std::string_view utf8, std::string& bytes, std::string& error) {
  bytes.clear();
  bytes.reserve(utf8.size());
  for (size_t pos = 0; pos < utf8.size();) {
    uint32_t cp = 0;
    const size_t len = DecodeOne(utf8, pos, cp);
    if (len == 0) {
      error = "not UTF-8 at byte " + std::to_string(pos + 1);
      return false;
    }
    if (cp > 0xFF) {
      error = "character " + CodePointName(cp) + " is above U+00FF";
      return false;
    }
    bytes += static_cast<char>(cp);
    pos += len;
  }
  return true;
}

void AppendQuotedBytes(std::string& out, std::string_view bytes) {
  out += '"';
  for (const char c : bytes) {
    const auto b = static_cast<uint8_t>(c);
    if (b < 0x80) {
      AppendEscapedAscii(out, c);
    } else {
      out += static_cast<char>(0xC0 | (b >> 6));
      out += static_cast<char>(0x80 | (b & 0x3F));
    }
  }
  out += '"';
}

void AppendQuotedUtf8(std::string& out, std::string_view text) {
  if (!IsUtf8(text)) {
    // The library's own replacement, so that the U+FFFD characters stand
    // exactly where they always have.
    out += nlohmann::json(std::string(text))
               .dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
    return;
  }
  out += '"';
  for (const char c : text) {
    if (static_cast<uint8_t>(c) < 0x80) {
      AppendEscapedAscii(out, c);
    } else {
      out += c;  // a byte of a multi-byte character, kept as it is
    }
  }
  out += '"';
}

}  // namespace korvex::cli
