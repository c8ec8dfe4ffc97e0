#include "cli/byte_text.h"

#include <cstdint>
#include <cstdio>

namespace korvex::cli {

namespace {

std::string CodePointName(uint32_t cp) {
  char name[16];
  std::snprintf(name, sizeof name, "U+%04X", static_cast<unsigned>(cp));
  return name;
}

// At a byte from 0x80 up: the length of the UTF-8 character starting there,
// with `whole` set; else, with `whole` clear, the length of the longest start
// of one that the next byte or the end of `s` breaks off, 0 when the byte
// itself starts none (a stray continuation, or a lead of an overlong form or
// of a code point past U+10FFFF). Overlong forms and surrogates are broken off
// at their second byte, as a strict decoder sees them.
size_t Utf8Span(std::string_view s, size_t pos, bool& whole) {
  const auto lead = static_cast<uint8_t>(s[pos]);
  uint8_t low = 0x80, high = 0xBF;  // the range of the second byte
  size_t len = 0;
  whole = false;
  if (lead >= 0xC2 && lead <= 0xDF) {
    len = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    len = 3;
    if (lead == 0xE0) low = 0xA0;   // not overlong
    if (lead == 0xED) high = 0x9F;  // not a surrogate
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    len = 4;
    if (lead == 0xF0) low = 0x90;   // not overlong
    if (lead == 0xF4) high = 0x8F;  // not past U+10FFFF
  } else {
    return 0;
  }
  for (size_t i = 1; i < len; ++i) {
    if (pos + i >= s.size()) return i;
    const auto b = static_cast<uint8_t>(s[pos + i]);
    if (b < (i == 1 ? low : 0x80) || b > (i == 1 ? high : 0xBF)) return i;
  }
  whole = true;
  return len;
}

// Decodes the character starting at `pos`; 0 when the bytes there are not
// UTF-8, else its length in bytes.
size_t DecodeOne(std::string_view s, size_t pos, uint32_t& cp) {
  const auto lead = static_cast<uint8_t>(s[pos]);
  if (lead < 0x80) {
    cp = lead;
    return 1;
  }
  bool whole = false;
  const size_t len = Utf8Span(s, pos, whole);
  if (!whole) return 0;
  cp = lead & (0x7F >> len);
  for (size_t i = 1; i < len; ++i) cp = (cp << 6) | (static_cast<uint8_t>(s[pos + i]) & 0x3F);
  return len;
}

// Whether a JSON string must escape this byte: the quote, the backslash and
// the controls.
bool NeedsEscape(uint8_t b) {
  return b < 0x20 || b == '"' || b == '\\';
}

// Where the run of ASCII bytes from `pos` that a JSON string holds as they are
// ends.
size_t PlainRunEnd(std::string_view s, size_t pos) {
  while (pos < s.size() && static_cast<uint8_t>(s[pos]) < 0x80 &&
         !NeedsEscape(static_cast<uint8_t>(s[pos]))) {
    ++pos;
  }
  return pos;
}

// A byte that NeedsEscape, escaped as the JSON library writes it: the controls
// with a short form (\b \t \n \f \r) by it, the others as \u00xx in lower
// case.
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
  constexpr char kHex[] = "0123456789abcdef";
  out += "\\u00";
  out += kHex[c >> 4];
  out += kHex[c & 0xF];
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

// Both write the bytes that need no change in runs, a character at a time
// only where one does.
void AppendQuotedBytes(std::string& out, std::string_view bytes) {
  out += '"';
  size_t pos = 0;
  while (pos < bytes.size()) {
    const size_t end = PlainRunEnd(bytes, pos);
    out.append(bytes.substr(pos, end - pos));
    if (end == bytes.size()) break;
    const auto b = static_cast<uint8_t>(bytes[end]);
    if (b < 0x80) {
      AppendEscapedAscii(out, bytes[end]);
    } else {
      out += static_cast<char>(0xC0 | (b >> 6));
      out += static_cast<char>(0x80 | (b & 0x3F));
    }
    pos = end + 1;
  }
  out += '"';
}

void AppendQuotedUtf8(std::string& out, std::string_view text) {
  out += '"';
  AppendEscapedUtf8(out, text);
  out += '"';
}

void AppendEscapedUtf8(std::string& out, std::string_view text) {
  size_t pos = 0;
  while (pos < text.size()) {
    const size_t end = PlainRunEnd(text, pos);
    out.append(text.substr(pos, end - pos));
    if (end == text.size()) break;
    if (static_cast<uint8_t>(text[end]) < 0x80) {
      AppendEscapedAscii(out, text[end]);
      pos = end + 1;
      continue;
    }
    bool whole = false;
    const size_t span = Utf8Span(text, end, whole);
    if (whole) {
      out.append(text.substr(end, span));
    } else {
      // As the library replaces: one U+FFFD for the broken-off start, and the
      // byte that broke it read again.
      out += "\xEF\xBF\xBD";
    }
    pos = end + (span == 0 ? 1 : span);
  }
}

}  // namespace korvex::cli
