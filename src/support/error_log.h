// The error log: one line per unexpected failure, with the computer's name and
// the local date and time, in a file beside the library.
#pragma once

#include <cstdint>
#include <string>

#include "korvex/host.h"

namespace korvex {

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

}  // namespace korvex
