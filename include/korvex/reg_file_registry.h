// A registry read from an export file as the Windows registry editor writes
// it, for machines without a registry of their own.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "korvex/memory_registry.h"
#include "korvex/registry.h"

namespace korvex {

// Status of every OpenKey when the file could not be read
// (ERROR_REGISTRY_IO_FAILED); a malformed file gives kRegBadFormat.
inline constexpr int32_t kRegIoFailed = 1016;

// Loads the whole file when constructed: "Windows Registry Editor Version 5.00"
// files (UTF-16LE with a byte-order mark) and "REGEDIT4" files (single-byte
// code page). Names and strings are kept in the code page Windows-1257;
// characters it lacks become '?'. Values come back as their stored bytes:
// strings with their terminating NUL, dword: as 4 little-endian bytes, hex: as
// written.
//
// A file that cannot be read or parsed serves nothing: every OpenKey fails
// with Status(), which the registry reader logs as an unexpected failure, and
// Error() tells what is wrong. A missing key or value is "not found" (2), as
// in the real registry.
class RegFileRegistry : public RegistryBackend {
 public:
  explicit RegFileRegistry(std::string path);

  // Reads the file again; handles opened before become invalid. True when
  // the file was loaded.
  bool Reload();

  const std::string& Path() const { return path_; }
  bool Loaded() const { return status_ == kRegSuccess; }
  // kRegSuccess, kRegIoFailed or kRegBadFormat.
  int32_t Status() const { return status_; }
  // "" when loaded; otherwise "<file>:<line>: <what is wrong>" for a malformed
  // file or "<file>: <system error>" for one that cannot be read.
  const std::string& Error() const { return error_; }
  // Keys opened and not yet closed.
  size_t OpenHandleCount() const { return tree_.OpenHandleCount(); }

  int32_t OpenKey(RegHandle root, const std::string& subKey, uint32_t access,
                  RegHandle& opened) override;
  int32_t QueryValue(RegHandle key, const std::string& valueName, uint32_t& type, char* data,
                     uint32_t& size) override;
  int32_t CloseKey(RegHandle key) override;

 private:
  std::string path_;
  MemoryRegistry tree_;
  int32_t status_ = kRegIoFailed;
  std::string error_;
};

// The environment variable that names the export file.
inline constexpr char kRegistryEnvironmentVariable[] = "KORVEX_REGISTRY";

// A RegFileRegistry of the file named by KORVEX_REGISTRY, or SystemRegistry()
// (Windows' own registry, elsewhere an empty MemoryRegistry) when the
// variable is unset or empty. When the file fails to
// load, its Error() is copied to *loadError (when given), else "" is.
std::unique_ptr<RegistryBackend> RegistryFromEnvironment(std::string* loadError = nullptr);

}  // namespace korvex
