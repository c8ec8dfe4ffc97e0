// Registry reading, dates, the computer name and the error log.
#pragma once

#include <cstdint>
#include <string>

#include "korvex/host.h"
#include "korvex/registry.h"

namespace korvex {

// The value's bytes up to the first NUL, or the default. Unexpected failures
// (open other than "not found", read other than 1010 / "not found") are
// written to the error log.
std::string GetRegString(RegistryBackend& registry, RegHandle root, const std::string& subKey,
                         const std::string& valueName, const std::string& fallback);
// GetRegString below HKEY_LOCAL_MACHINE\SOFTWARE; a leading "...software\" of
// the path is dropped.
std::string GetSoftwareRegString(RegistryBackend& registry, const std::string& subKey,
                                 const std::string& valueName, const std::string& fallback);

// Appends one line to the log file; path "" means the default file beside the
// library (libkorvex.so -> libkorvex.err). Never fails towards the caller.
void LogError(int32_t number, const std::string& message, const std::string& procedure,
              const std::string& path = "");
// The default log file path.
std::string DefaultErrorLogPath();

// "04. märts 2026" (single-byte code page text); "" for an invalid date.
std::string DateText(const LocalDateTime& value);
std::string GetComputerNameText();
// Joins folder and name with a backslash unless the folder ends in "\" or ":";
// an empty folder means the current directory.
std::string BuildPath(const std::string& folder, const std::string& name);

}  // namespace korvex
