// Windows-1257 <-> Unicode. The lower half is ASCII; the upper half holds the
// Estonian, Latvian and Lithuanian letters and the usual punctuation.
#include "support/code_page.h"

#include <array>
#include <cstdint>

namespace korvex {
namespace {

// Code points of bytes 0x80-0xFF; 0 marks an unassigned byte.
constexpr std::array<char32_t, 128> kUpperHalf = {
    0x20AC, 0x0000, 0x201A, 0x0000, 0x201E, 0x2026, 0x2020, 0x2021, 0x0000, 0x2030, 0x0000, 0x2039,
    0x0000, 0x00A8, 0x02C7, 0x00B8, 0x0000, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x0000, 0x2122, 0x0000, 0x203A, 0x0000, 0x00AF, 0x02DB, 0x0000, 0x00A0, 0x0000, 0x00A2, 0x00A3,
    0x00A4, 0x0000, 0x00A6, 0x00A7, 0x00D8, 0x00A9, 0x0156, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x00C6,
    0x00B0, 0x00B1, 0x00B2, 0x00B3, 0x00B4, 0x00B5, 0x00B6, 0x00B7, 0x00F8, 0x00B9, 0x0157, 0x00BB,
    0x00BC, 0x00BD, 0x00BE, 0x00E6, 0x0104, 0x012E, 0x0100, 0x0106, 0x00C4, 0x00C5, 0x0118, 0x0112,
    0x010C, 0x00C9, 0x0179, 0x0116, 0x0122, 0x0136, 0x012A, 0x013B, 0x0160, 0x0143, 0x0145, 0x00D3,
    0x014C, 0x00D5, 0x00D6, 0x00D7, 0x0172, 0x0141, 0x015A, 0x016A, 0x00DC, 0x017B, 0x017D, 0x00DF,
    0x0105, 0x012F, 0x0101, 0x0107, 0x00E4, 0x00E5, 0x0119, 0x0113, 0x010D, 0x00E9, 0x017A, 0x0117,
    0x0123, 0x0137, 0x012B, 0x013C, 0x0161, 0x0144, 0x0146, 0x00F3, 0x014D, 0x00F5, 0x00F6, 0x00F7,
    0x0173, 0x0142, 0x015B, 0x016B, 0x00FC, 0x017C, 0x017E, 0x02D9};

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

// Decodes the sequence starting at pos; advances pos past it. A malformed
// sequence consumes one byte and yields U+FFFD, which the code page lacks.
char32_t DecodeUtf8(const std::string& s, size_t& pos) {
  constexpr char32_t kBad = 0xFFFD;
  const auto lead = static_cast<uint8_t>(s[pos]);
  size_t extra = 0;
  char32_t cp = 0;
  char32_t minimum = 0;
  if (lead < 0x80) {
    ++pos;
    return lead;
  } else if ((lead & 0xE0) == 0xC0) {
    extra = 1, cp = lead & 0x1F, minimum = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    extra = 2, cp = lead & 0x0F, minimum = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    extra = 3, cp = lead & 0x07, minimum = 0x10000;
  } else {
    ++pos;
    return kBad;
  }
  if (pos + extra >= s.size()) {
    ++pos;
    return kBad;
  }
  for (size_t k = 1; k <= extra; ++k) {
    const auto b = static_cast<uint8_t>(s[pos + k]);
    if ((b & 0xC0) != 0x80) {
      ++pos;
      return kBad;
    }
    cp = (cp << 6) | (b & 0x3F);
  }
  if (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
    ++pos;
    return kBad;
  }
  pos += extra + 1;
  return cp;
}

}  // namespace

char CodePageChar(char32_t codePoint) {
  if (codePoint < 0x80) return static_cast<char>(codePoint);
  for (size_t i = 0; i < kUpperHalf.size(); ++i) {
    if (kUpperHalf[i] == codePoint) return static_cast<char>(0x80 + i);
  }
  return '?';
}

std::string Utf16LeToCodePage(const std::string& bytes) {
  std::string text;
  text.reserve(bytes.size() / 2);
  bool afterHighSurrogate = false;
  for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
    const char16_t unit = static_cast<char16_t>(static_cast<uint8_t>(bytes[i]) |
                                                (static_cast<uint8_t>(bytes[i + 1]) << 8));
    const bool highSurrogate = unit >= 0xD800 && unit <= 0xDBFF;
    const bool lowSurrogate = unit >= 0xDC00 && unit <= 0xDFFF;
    // A whole surrogate pair becomes one '?', as does a stray half.
    if (!(lowSurrogate && afterHighSurrogate)) {
      text += highSurrogate || lowSurrogate ? '?' : CodePageChar(unit);
    }
    afterHighSurrogate = highSurrogate;
  }
  return text;
}

std::string Utf8ToCodePage(const std::string& utf8) {
  std::string out;
  out.reserve(utf8.size());
  size_t pos = 0;
  while (pos < utf8.size()) out += CodePageChar(DecodeUtf8(utf8, pos));
  return out;
}

bool Utf8ToCodePageExact(const std::string& utf8, std::string& out, char32_t& missing) {
  out.clear();
  out.reserve(utf8.size());
  size_t pos = 0;
  while (pos < utf8.size()) {
    const char32_t cp = DecodeUtf8(utf8, pos);
    const char c = CodePageChar(cp);
    if (c == '?' && cp != U'?') {
      missing = cp;
      return false;
    }
    out += c;
  }
  return true;
}

std::string CodePageToUtf8(const std::string& text) {
  std::string out;
  out.reserve(text.size() * 2);
  for (char c : text) {
    const auto b = static_cast<uint8_t>(c);
    if (b < 0x80) {
      out += c;
    } else if (kUpperHalf[b - 0x80] == 0) {
      out += '?';
    } else {
      AppendUtf8(out, kUpperHalf[b - 0x80]);
    }
  }
  return out;
}

}  // namespace korvex
