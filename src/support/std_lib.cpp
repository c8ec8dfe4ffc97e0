#include "support/std_lib.h"

#include <dlfcn.h>
#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>

namespace korvex {

namespace {

constexpr int32_t kRegistryErrorNumber = 321;

// The handle as the log shows it: HKEY_LOCAL_MACHINE is -2147483646.
std::string SignedHandle(RegHandle root) {
  return std::to_string(static_cast<int32_t>(static_cast<uint32_t>(root)));
}

std::string CutAtNul(const std::string& bytes) {
  return bytes.substr(0, bytes.find('\0'));
}

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

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

std::string GetRegString(RegistryBackend& registry, RegHandle root, const std::string& subKey,
                         const std::string& valueName, const std::string& fallback) {
  RegHandle key = 0;
  int32_t status = registry.OpenKey(root, subKey, kKeyRead, key);
  if (status != kRegSuccess) {
    if (status != kRegFileNotFound) {
      LogError(kRegistryErrorNumber,
               "RegOpenKeyEx andis vea " + std::to_string(status) + ", hkey=" + SignedHandle(root) +
                   ", asukoht=" + subKey,
               "GetRegString");
    }
    return fallback;
  }

  // A missing or empty value is the common case and is not logged.
  uint32_t type = 0;
  uint32_t size = 0;
  status = registry.QueryValue(key, valueName, type, nullptr, size);
  if (status != kRegSuccess || size == 0) {
    registry.CloseKey(key);
    return fallback;
  }

  std::string buffer(size, '\0');
  status = registry.QueryValue(key, valueName, type, buffer.data(), size);
  registry.CloseKey(key);
  if (status != kRegSuccess) {
    if (status != kRegBadKey && status != kRegFileNotFound) {
      LogError(kRegistryErrorNumber,
               "RegQueryValueEx andis vea " + std::to_string(status) +
                   ", hkey=" + SignedHandle(root) + ", key=" + valueName + " asukoht=" + subKey,
               "GetRegString");
    }
    return fallback;
  }
  return CutAtNul(buffer);
}

std::string GetSoftwareRegString(RegistryBackend& registry, const std::string& subKey,
                                 const std::string& valueName, const std::string& fallback) {
  static const std::string kSoftware = "software\\";
  std::string rest = subKey;
  if (const size_t p = Lower(subKey).find(kSoftware); p != std::string::npos) {
    rest = subKey.substr(p + kSoftware.size());
  }
  return GetRegString(registry, kHkeyLocalMachine, "SOFTWARE\\" + rest, valueName, fallback);
}

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

// The path is one of this file system, so it is joined with "/" rather than
// with BuildPath, whose backslash would become part of a file name here.
std::string DefaultErrorLogPath() {
  namespace fs = std::filesystem;
  Dl_info info{};
  fs::path library;
  if (dladdr(reinterpret_cast<const void*>(&DefaultErrorLogPath), &info) != 0 &&
      info.dli_fname != nullptr && info.dli_fname[0] != '\0') {
    library = info.dli_fname;
  } else {
    library = "libkorvex.so";
  }
  std::error_code ec;
  const fs::path absolute = fs::absolute(library, ec);
  if (!ec) library = absolute;
  const std::string folder = library.parent_path().string();
  return (folder.empty() ? std::string(".") : folder) + "/" +
         LibraryStem(library.filename().string()) + ".err";
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
  constexpr size_t kBufferSize = 2048;
  char name[kBufferSize + 1] = {};
  if (gethostname(name, kBufferSize) != 0) return " <> ";
  const size_t length = std::char_traits<char>::length(name);
  return length >= 1 && length <= kBufferSize ? std::string(name, length) : " <> ";
}

std::string BuildPath(const std::string& folder, const std::string& name) {
  std::string path = folder;
  if (path.empty()) {
    std::error_code ec;
    path = std::filesystem::current_path(ec).string();
    if (ec || path.empty()) path = ".";
  }
  if (path.back() != '\\' && path.back() != ':') path += '\\';
  return path + name;
}

}  // namespace korvex
