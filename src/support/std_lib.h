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

// Appends one line to the log file; path "" means ErrorLogPath(). `now` null
// means the system's local time. Never fails towards the caller.
void LogError(int32_t number, const std::string& message, const std::string& procedure,
              const std::string& path = "", const LocalDateTime* now = nullptr);
// The file beside the loaded library, named after it: libkorvex.so -> libkorvex.err.
std::string DefaultErrorLogPath();
// Where LogError writes when given no path: the file set here, or
// DefaultErrorLogPath() while none is set (""). For hosts whose library folder
// is read-only, and for tests.
void SetErrorLogPath(const std::string& path);
std::string ErrorLogPath();

// "04. m\xE4rts 2026" (single-byte code page text); "" for an invalid date.
std::string DateText(const LocalDateTime& value);
// The host name, or " <> " when the system gives none.
std::string GetComputerNameText();
// Joins folder and name with a backslash unless the folder ends in "\" or ":";
// an empty folder means the current directory.
std::string BuildPath(const std::string& folder, const std::string& name);

}  // namespace korvex
