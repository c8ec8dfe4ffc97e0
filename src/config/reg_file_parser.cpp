#include "config/reg_file_parser.h"

#include <cctype>
#include <cstdint>
#include <vector>

#include "support/code_page.h"

namespace korvex {

namespace {

constexpr char kHeader5[] = "Windows Registry Editor Version 5.00";
constexpr char kHeader4[] = "REGEDIT4";

constexpr uint32_t kTypeString = 1;
constexpr uint32_t kTypeExpandString = 2;
constexpr uint32_t kTypeBinary = 3;
constexpr uint32_t kTypeDword = 4;
constexpr uint32_t kTypeMultiString = 7;

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  const char u = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return u >= 'A' && u <= 'F' ? u - 'A' + 10 : -1;
}

bool StartsWithIgnoringCase(const std::string& text, size_t pos, const std::string& prefix) {
  if (text.size() - pos < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(text[pos + i])) !=
        std::tolower(static_cast<unsigned char>(prefix[i]))) {
      return false;
    }
  }
  return true;
}

size_t SkipBlanks(const std::string& text, size_t pos) {
  while (pos < text.size() && IsBlank(text[pos])) ++pos;
  return pos;
}

// Only blanks or a ";" comment left from pos.
bool RestIsEmpty(const std::string& text, size_t pos) {
  pos = SkipBlanks(text, pos);
  return pos == text.size() || text[pos] == ';';
}

std::string UpperAscii(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

// Full root name of "HKEY_LOCAL_MACHINE" or its short form "HKLM"; "" if unknown.
std::string CanonicalRoot(const std::string& root) {
  static const char* const kRoots[][2] = {{"HKEY_CLASSES_ROOT", "HKCR"},
                                          {"HKEY_CURRENT_USER", "HKCU"},
                                          {"HKEY_LOCAL_MACHINE", "HKLM"},
                                          {"HKEY_USERS", "HKU"},
                                          {"HKEY_CURRENT_CONFIG", "HKCC"}};
  const std::string upper = UpperAscii(root);
  for (const auto& r : kRoots) {
    if (upper == r[0] || upper == r[1]) return r[0];
  }
  return "";
}

class Parser {
 public:
  Parser(const std::string& fileName, MemoryRegistry& into) : fileName_(fileName), into_(into) {}

  // Only the first line of the file's first bytes.
  bool RunHeader(const std::string& firstBytes, std::string& error) {
    const bool ok = Decode(firstBytes) && Header();
    if (!ok) error = error_;
    return ok;
  }

  bool Run(const std::string& bytes, std::string& error) {
    bool ok = Decode(bytes) && Header();
    if (ok) SplitLines();
    for (line_ = 1; ok && line_ < lines_.size(); ++line_) ok = Line(lines_[line_]);
    if (!ok) error = error_;
    return ok;
  }

 private:
  bool Fail(const std::string& what) {
    error_ = fileName_ + ":" + std::to_string(line_ + 1) + ": " + what;
    return false;
  }

  bool Decode(const std::string& bytes) {
    std::string text;
    if (bytes.size() >= 2 && bytes[0] == '\xFF' && bytes[1] == '\xFE') {
      if (bytes.size() % 2 != 0) return Fail("UTF-16 text of odd length (truncated file?)");
      text = Utf16LeToCodePage(bytes.substr(2));
    } else if (bytes.size() >= 2 && bytes[0] == '\xFE' && bytes[1] == '\xFF') {
      return Fail("UTF-16 big-endian text is not supported; save as UTF-16LE");
    } else if (bytes.size() >= 3 && bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) {
      return Fail("UTF-8 text is not supported; save as UTF-16LE or as REGEDIT4");
    } else {
      text = bytes;
    }
    text_ = std::move(text);
    return true;
  }

  // The line from `begin` to LF or CRLF; `begin` moves past it.
  std::string NextLine(size_t& begin) const {
    size_t end = text_.find('\n', begin);
    if (end == std::string::npos) end = text_.size();
    std::string line = text_.substr(begin, end - begin);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    begin = end + 1;
    return line;
  }

  // Only once the header matched: a file that is not an export is refused
  // without being cut into lines.
  void SplitLines() {
    for (size_t begin = 0; begin <= text_.size();) lines_.push_back(NextLine(begin));
  }

  bool Header() {
    size_t begin = 0;
    std::string first = NextLine(begin);
    while (!first.empty() && IsBlank(first.back())) first.pop_back();
    if (first == kHeader5) {
      unicodeStrings_ = true;
      return true;
    }
    if (first == kHeader4) return true;
    return Fail(std::string("not a registry export file: the first line must be \"") + kHeader5 +
                "\" or \"" + kHeader4 + "\"");
  }

  bool Line(const std::string& line) {
    const size_t pos = SkipBlanks(line, 0);
    if (pos == line.size() || line[pos] == ';') return true;
    if (line[pos] == '[') return Section(line, pos + 1);
    if (line[pos] == '"' || line[pos] == '@') return Value(line, pos);
    return Fail("expected a [key] section, a value or a ; comment");
  }

  bool Section(const std::string& line, size_t pos) {
    // Key names may hold "]": the section ends at the last one.
    const size_t close = line.rfind(']');
    if (close == std::string::npos || close < pos) return Fail("unterminated key section");
    if (!RestIsEmpty(line, close + 1)) return Fail("text after the key section");
    const bool deletion = close > pos && line[pos] == '-';
    const size_t from = deletion ? pos + 1 : pos;
    std::string path;
    if (!KeyPath(line.substr(from, close - from), path)) return false;
    if (deletion) {
      into_.DeleteKey(path);
      values_ = nullptr;
    } else {
      values_ = &into_.Values(path);
    }
    afterDeletion_ = deletion;
    return true;
  }

  bool KeyPath(const std::string& written, std::string& path) {
    if (written.empty()) return Fail("empty key name");
    const size_t slash = written.find('\\');
    const std::string root = CanonicalRoot(written.substr(0, slash));
    if (root.empty()) return Fail("unknown root key \"" + written.substr(0, slash) + "\"");
    path = slash == std::string::npos ? root : root + written.substr(slash);
    return true;
  }

  bool Value(const std::string& line, size_t pos) {
    if (values_ == nullptr) {
      return Fail(afterDeletion_ ? "value below a deleted key" : "value before any [key] section");
    }
    std::string name;
    if (line[pos] == '@') {
      ++pos;
    } else if (!QuotedText(line, pos, name, "value name")) {
      return false;
    }
    pos = SkipBlanks(line, pos);
    if (pos == line.size() || line[pos] != '=') return Fail("expected \"=\" after the value name");
    return Data(line, SkipBlanks(line, pos + 1), name);
  }

  // Reads "..." from pos (at the opening quote) with its \\ and \" escapes.
  bool QuotedText(const std::string& line, size_t& pos, std::string& text, const char* what) {
    for (++pos; pos < line.size(); ++pos) {
      const char c = line[pos];
      if (c == '"') {
        ++pos;
        return true;
      }
      if (c == '\\') {
        if (pos + 1 == line.size()) break;
        const char next = line[++pos];
        if (next != '\\' && next != '"') {
          return Fail(std::string("unknown escape \\") + next + " in a " + what);
        }
        text += next;
      } else {
        text += c;
      }
    }
    return Fail(std::string("unterminated ") + what);
  }

  bool Data(const std::string& line, size_t pos, const std::string& name) {
    if (pos < line.size() && line[pos] == '"') {
      std::string text;
      if (!QuotedText(line, pos, text, "string")) return false;
      if (!RestIsEmpty(line, pos)) return Fail("text after the string value");
      MemoryRegistry::SetValueIn(*values_, name, text + '\0', kTypeString);
      return true;
    }
    if (pos < line.size() && line[pos] == '-' && RestIsEmpty(line, pos + 1)) {
      MemoryRegistry::DeleteValueIn(*values_, name);
      return true;
    }
    if (StartsWithIgnoringCase(line, pos, "dword:")) return Dword(line, pos + 6, name);
    if (StartsWithIgnoringCase(line, pos, "hex")) return Hex(line, pos + 3, name);
    return Fail("unrecognised value data (expected \"text\", dword:, hex: or -)");
  }

  bool Dword(const std::string& line, size_t pos, const std::string& name) {
    uint32_t value = 0;
    size_t digits = 0;
    for (; pos < line.size() && HexValue(line[pos]) >= 0; ++pos, ++digits) {
      value = value << 4 | static_cast<uint32_t>(HexValue(line[pos]));
    }
    if (digits == 0 || digits > 8 || !RestIsEmpty(line, pos)) {
      return Fail("dword: needs 1 to 8 hexadecimal digits");
    }
    std::string bytes(4, '\0');
    for (int i = 0; i < 4; ++i) bytes[i] = static_cast<char>(value >> (8 * i) & 0xFF);
    MemoryRegistry::SetValueIn(*values_, name, bytes, kTypeDword);
    return true;
  }

  // "hex:" or "hex(N):" (N the value type in hexadecimal), then the byte list.
  bool Hex(const std::string& line, size_t pos, const std::string& name) {
    uint32_t type = kTypeBinary;
    if (pos < line.size() && line[pos] == '(') {
      const size_t close = line.find(')', pos);
      if (close == std::string::npos || close == pos + 1 || close - pos > 9) {
        return Fail("bad hex(type): value type");
      }
      type = 0;
      for (size_t i = pos + 1; i < close; ++i) {
        if (HexValue(line[i]) < 0) return Fail("bad hex(type): value type");
        type = type << 4 | static_cast<uint32_t>(HexValue(line[i]));
      }
      pos = close + 1;
    }
    if (pos == line.size() || line[pos] != ':') return Fail("expected \":\" after hex");
    std::string bytes;
    if (!HexBytes(line.substr(pos + 1), bytes)) return false;
    MemoryRegistry::SetValueIn(*values_, name, StoredText(type, bytes), type);
    return true;
  }

  // Comma-separated bytes; a "\" at the end of a line continues the list on
  // the next one.
  bool HexBytes(std::string text, std::string& bytes) {
    size_t pos = 0;
    while (true) {
      pos = SkipBlanks(text, pos);
      if (pos == text.size() || text[pos] == ';') return true;
      if (text[pos] == '\\' && SkipBlanks(text, pos + 1) == text.size()) {
        if (line_ + 1 == lines_.size()) return Fail("hex data continues past the end of the file");
        text = lines_[++line_];
        pos = 0;
        continue;
      }
      const int high = HexValue(text[pos]);
      if (high < 0) return Fail("bad byte in hex data");
      const int low = ++pos < text.size() ? HexValue(text[pos]) : -1;
      if (low >= 0) ++pos;
      bytes += static_cast<char>(low >= 0 ? high * 16 + low : high);
      pos = SkipBlanks(text, pos);
      if (pos < text.size() && text[pos] == ',') {
        ++pos;
      } else if (pos < text.size() && text[pos] != ';' && text[pos] != '\\') {
        return Fail("expected \",\" between hex bytes");
      }
    }
  }

  // Text types of a version 5 file hold UTF-16LE; the ANSI registry calls
  // return them in the code page, so they are stored that way.
  std::string StoredText(uint32_t type, const std::string& bytes) const {
    const bool text = type == kTypeString || type == kTypeExpandString || type == kTypeMultiString;
    if (!unicodeStrings_ || !text || bytes.size() % 2 != 0) return bytes;
    return Utf16LeToCodePage(bytes);
  }

  const std::string& fileName_;
  MemoryRegistry& into_;
  std::string text_;
  std::vector<std::string> lines_;
  size_t line_ = 0;  // index of the line being read
  // The current section's values; null before any section and after a deletion.
  MemoryRegistry::ValueMap* values_ = nullptr;
  bool afterDeletion_ = false;
  bool unicodeStrings_ = false;
  std::string error_;
};

}  // namespace

bool CheckRegExportHeader(std::string firstBytes, const std::string& fileName, std::string& error) {
  // A UTF-16 prefix may end inside a character.
  if (firstBytes.size() % 2 != 0 && firstBytes.compare(0, 2, "\xFF\xFE") == 0) {
    firstBytes.pop_back();
  }
  MemoryRegistry unused;
  Parser parser(fileName, unused);
  return parser.RunHeader(firstBytes, error);
}

bool ParseRegExport(const std::string& bytes, const std::string& fileName, MemoryRegistry& into,
                    std::string& error) {
  Parser parser(fileName, into);
  return parser.Run(bytes, error);
}

}  // namespace korvex
