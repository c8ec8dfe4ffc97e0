#include "support/registry_reading.h"

#include <cctype>

#include "support/error_log.h"

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

}  // namespace korvex
