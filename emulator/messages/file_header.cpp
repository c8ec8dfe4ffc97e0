#include "emulator/messages/file_header.h"

#include <algorithm>
#include <cctype>

#include "emulator/messages/message_checks.h"

namespace korvex::emu {
namespace {

constexpr size_t kNameAt = 40;

int Number(const std::string& digits, size_t pos, size_t count) {
  return std::stoi(digits.substr(pos, count));
}

bool LeapYear(int y) {
  return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

int DaysInMonth(int year, int month) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && LeapYear(year) ? 29 : kDays[month - 1];
}

bool UpperHex(const std::string& s) {
  return AllHex(s) && std::none_of(s.begin(), s.end(), [](char c) { return c >= 'a' && c <= 'f'; });
}

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

std::string CheckName(const std::string& name) {
  if (name.empty()) return "file header names no file";
  if (name.find_first_of("/\\:") != std::string::npos) {
    return "file name \"" + name + "\" holds a folder";
  }
  if (name == "." || name == "..") return "file name \"" + name + "\" is a folder";
  return "";
}

}  // namespace

bool ValidTimestamp(const std::string& d) {
  if (d.size() != 14 || !AllDigits(d)) return false;
  const int year = Number(d, 0, 4), month = Number(d, 4, 2), day = Number(d, 6, 2);
  if (month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month)) return false;
  return Number(d, 8, 2) < 24 && Number(d, 10, 2) < 60 && Number(d, 12, 2) < 60;
}

std::variant<FileHeader, std::string> ParseFileHeader(const std::string& text) {
  if (text.size() < kNameAt)
    return "file header shorter than its " + std::to_string(kNameAt) + " fixed bytes";
  FileHeader h{text.substr(0, 2), 0, text.substr(18, 14), text.substr(kNameAt)};
  const std::string size = text.substr(2, 8);
  if (h.type != "OC" && h.type != "OD") return "file type \"" + h.type + "\" is neither OC nor OD";
  if (!UpperHex(size) || size.size() != 8)
    return "file size \"" + size + "\" is not 8 upper-case hex digits";
  if (text.compare(10, 8, "00000000") != 0) return "reserved field is not \"00000000\"";
  if (!ValidTimestamp(h.timestamp))
    return "date and time \"" + h.timestamp + "\" is not a valid YYYYMMDDhhmmss";
  if (text.compare(32, 8, "XXXXXXXX") != 0) return "filler is not \"XXXXXXXX\"";
  if (auto problem = CheckName(h.name); !problem.empty()) return problem;
  const bool application = Lower(h.name).ends_with("out");
  if ((h.type == "OC") != application) {
    return "file " + h.name + " has type " + h.type + "; " + (application ? "OC" : "OD") +
           " expected";
  }
  h.size = static_cast<uint32_t>(std::stoul(size, nullptr, 16));
  return h;
}

}  // namespace korvex::emu
