#include "support/error_log.h"

#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>

#include "support/own_library.h"
#include "support/windows_compat.h"

namespace korvex {

namespace {

std::string& LogPathOverride() {
  static std::string path;
  return path;
}

LocalDateTime SystemLocalNow() {
  const std::time_t t = std::time(nullptr);
  std::tm tm{};
  localtime_r(&t, &tm);
  return LocalDateTime{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday,
                       tm.tm_hour,        tm.tm_min,     tm.tm_sec};
}

bool IsLeapYear(int year) {
  return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int DaysInMonth(int year, int month) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

// The range of the host's date type: years 100 to 9999.
bool IsValidDateTime(const LocalDateTime& v) {
  if (v.year < 100 || v.year > 9999 || v.month < 1 || v.month > 12) return false;
  if (v.day < 1 || v.day > DaysInMonth(v.year, v.month)) return false;
  return v.hour >= 0 && v.hour < 24 && v.minute >= 0 && v.minute < 60 && v.second >= 0 &&
         v.second < 60;
}

std::string TimeText(const LocalDateTime& v) {
  char text[16];
  std::snprintf(text, sizeof text, "%02d:%02d:%02d", v.hour, v.minute, v.second);
  return text;
}

// libkorvex.so.0.1.0 -> libkorvex; other names lose their last extension.
std::string LibraryStem(const std::string& fileName) {
  for (size_t p = fileName.find(".so"); p != std::string::npos; p = fileName.find(".so", p + 1)) {
    if (p > 0 && (p + 3 == fileName.size() || fileName[p + 3] == '.')) return fileName.substr(0, p);
  }
  const size_t dot = fileName.rfind('.');
  return dot == std::string::npos || dot == 0 ? fileName : fileName.substr(0, dot);
}

}  // namespace

void LogError(int32_t number, const std::string& message, const std::string& procedure,
              const std::string& path, const LocalDateTime* now) {
  const LocalDateTime when = now != nullptr ? *now : SystemLocalNow();
  const std::string line = "<" + GetComputerNameText() + ">\t" + procedure + " , " +
                           DateText(when) + " kell " + TimeText(when) + "\t(" +
                           std::to_string(number) + " - " + message + ") \r\n";
  std::ofstream out(path.empty() ? ErrorLogPath() : path, std::ios::binary | std::ios::app);
  if (out) out.write(line.data(), static_cast<std::streamsize>(line.size()));
  // A failed open or write is dropped: logging never fails towards the caller.
}

// The path is one of this file system, so it is joined with its own separator
// rather than with BuildPath, whose backslash is part of a file name on POSIX.
std::string DefaultErrorLogPath() {
  namespace fs = std::filesystem;
  fs::path library = OwnLibraryFile();
  std::error_code ec;
  const fs::path absolute = fs::absolute(library, ec);
  if (!ec) library = absolute;
  const fs::path folder = library.has_parent_path() ? library.parent_path() : fs::path(".");
  return (folder / (LibraryStem(library.filename().string()) + ".err")).string();
}

void SetErrorLogPath(const std::string& path) {
  LogPathOverride() = path;
}

std::string ErrorLogPath() {
  return LogPathOverride().empty() ? DefaultErrorLogPath() : LogPathOverride();
}

std::string DateText(const LocalDateTime& value) {
  static const char* const kMonths[] = {"jaanuar",   "veebruar", "m\xE4rts", "aprill",
                                        "mai",       "juuni",    "juuli",    "august",
                                        "september", "oktoober", "november", "detsember"};
  if (!IsValidDateTime(value)) return "";
  char text[48];
  std::snprintf(text, sizeof text, "%02d. %s %04d", value.day, kMonths[value.month - 1],
                value.year);
  return text;
}

std::string GetComputerNameText() {
  const std::string name = ComputerName(2048);
  return name.empty() ? " <> " : name;
}

}  // namespace korvex
