#include "emulator/messages/card_fields.h"

#include <cctype>

#include "emulator/core/card_profile.h"
#include "emulator/messages/message_checks.h"

namespace korvex::emu {
namespace {

Rejection Layout(const std::string& why) {
  return Rejection{kStatusBadFormat, why};
}

bool HexOrEmpty(const std::string& s) {
  return s.empty() || AllHex(s);
}

std::string FromHex(const std::string& hex) {
  std::string out;
  for (size_t i = 0; i + 1 < hex.size(); i += 2) {
    out += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
  }
  return out;
}

std::string MinorText(uint64_t minor) {
  std::string m = PadNumber(minor, 3);
  return m.insert(m.size() - 2, ".");
}

}  // namespace

std::string LengthValue(const std::string& hex) {
  return PadNumber(hex.size() / 2, 3) + hex;
}

std::string TextToHex(const std::string& text) {
  static const char* kDigits = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : text) {
    out += kDigits[c >> 4];
    out += kDigits[c & 15];
  }
  return out;
}

std::string WithBits(const std::string& hex, size_t byte, unsigned mask) {
  if (hex.size() < 2 * byte + 2 || !AllHex(hex.substr(2 * byte, 2))) return hex;
  const unsigned value = std::stoul(hex.substr(2 * byte, 2), nullptr, 16) | mask;
  std::string out = hex;
  return out.replace(2 * byte, 2, TextToHex(std::string(1, static_cast<char>(value & 0xFF))));
}

std::variant<std::vector<std::string>, Rejection> ParseTagList(const std::string& list) {
  if (list.size() < 2 || !AllDigits(list.substr(0, 2))) {
    return Layout("tag list must start with two digits giving the number of tags");
  }
  const size_t n = std::stoul(list.substr(0, 2));
  if (n == 0) return Layout("tag list names no tag");
  if (list.size() != 2 + 4 * n) {
    return Layout("tag list of " + std::to_string(n) + " tags must be " +
                  std::to_string(2 + 4 * n) + " characters, not " + std::to_string(list.size()));
  }
  std::vector<std::string> tags;
  for (size_t i = 0; i < n; ++i) {
    const std::string tag = list.substr(2 + 4 * i, 4);
    if (!AllHex(tag)) return Layout("tag \"" + tag + "\" is not four hex digits");
    tags.push_back(TagKey(tag));
  }
  return tags;
}

std::variant<std::vector<TagWrite>, Rejection> ParseTagWrites(const std::string& body) {
  if (body.size() < 2 || !AllDigits(body.substr(0, 2))) {
    return Layout("tag data must start with two digits giving the number of tags");
  }
  const size_t n = std::stoul(body.substr(0, 2));
  if (n == 0) return Layout("tag data holds no tag");
  std::vector<TagWrite> writes;
  size_t p = 2;
  for (size_t i = 0; i < n; ++i) {
    if (body.size() < p + 7) return Layout("tag data ends inside item " + std::to_string(i + 1));
    const std::string tag = body.substr(p, 4);
    const std::string length = body.substr(p + 4, 3);
    if (!AllHex(tag)) return Layout("tag \"" + tag + "\" is not four hex digits");
    if (!AllDigits(length)) return Layout("length of tag " + tag + " is not three digits");
    const size_t chars = 2 * std::stoul(length);
    const std::string value = body.substr(p + 7, chars);
    if (value.size() != chars || !HexOrEmpty(value)) {
      return Layout("value of tag " + tag + " is not " + length + " bytes of hex");
    }
    writes.push_back({TagKey(tag), value});
    p += 7 + chars;
  }
  if (p != body.size()) return Layout("bytes after the last tag value");
  return writes;
}

std::variant<ScriptBlock, Rejection> ParseScriptBlock(const std::string& text) {
  if (text.size() < 11) return Layout("script block shorter than its header");
  ScriptBlock b{text.substr(3, 2), text[5] == '1', text.substr(6, 2), text.substr(11)};
  const std::string length = text.substr(8, 3);
  if (b.tag != "71" && b.tag != "72") return Layout("script tag must be 71 or 72");
  if (text[5] != '0' && text[5] != '1') return Layout("block part must be 0 or 1");
  if (!AllDigits(length)) return Layout("script length is not three digits");
  const size_t bytes = std::stoul(length);
  if (b.data.size() != 2 * bytes || !AllHex(b.data)) {
    return Layout("script data is not " + length + " bytes of hex");
  }
  const bool opening = b.kind == "01" || b.kind == "81";
  if ((b.kind != "91" && !opening) || b.continuation == opening) {
    return Layout("block kind " + b.kind + " with part " + text.substr(5, 1) +
                  ": expected 0 with 01 or 81, 1 with 91");
  }
  if (b.kind == "81" && bytes != 240) return Layout("a split script's first block is 240 bytes");
  if (b.kind == "01" && bytes > 240) return Layout("a whole script block holds at most 240 bytes");
  return b;
}

std::string AmountTextProblem(const std::string& text, uint64_t minor,
                              const std::string& currency) {
  const size_t dot = text.find('.');
  const std::string units = text.substr(0, dot);
  if (dot == std::string::npos || !AllDigits(units) || text.size() < dot + 3 ||
      !AllDigits(text.substr(dot + 1, 2)) || (units.size() > 1 && units[0] == '0')) {
    return "amount text must start with the amount: digits, \".\" and two decimals";
  }
  const std::string symbol = currency == "0233" ? "EEK" : "";
  const std::string rest = text.substr(dot + 3);
  if (rest != (" " + symbol + std::string(16, ' ')).substr(0, rest.size())) {
    return "after the amount the text must hold a space, " +
           (symbol.empty() ? std::string("no currency symbol") : "the symbol " + symbol) +
           " and spaces";
  }
  const uint64_t shown = std::stoull(units + text.substr(dot + 1, 2));
  if (shown != minor && shown != minor + 1) {
    return "amount text shows " + MinorText(shown) + ", the transaction is for " + MinorText(minor);
  }
  return "";
}

std::string AnswerLabels(const std::string& languageHex) {
  const bool usable = languageHex.size() % 2 == 0 && AllHex(languageHex);
  const std::string text = usable ? FromHex(languageHex) : "";
  for (size_t i = 0; i + 1 < text.size(); i += 2) {
    std::string code = text.substr(i, 2);
    for (char& c : code) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (code == "en") return "No   Yes";
    if (code == "et") return "Ei   Jah";
  }
  return "No   Yes";
}

}  // namespace korvex::emu
