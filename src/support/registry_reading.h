// Reading the control's settings from the registry, with the unexpected
// failures written to the error log.
#pragma once

#include <string>

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

}  // namespace korvex
