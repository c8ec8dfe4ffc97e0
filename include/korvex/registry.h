// Read-only access to a hierarchical key/value store shaped like the Windows
// registry. The control reads its router address through it.
#pragma once

#include <cstdint>
#include <string>

namespace korvex {

using RegHandle = uint64_t;

// Root handles, as the Windows API numbers them.
inline constexpr RegHandle kHkeyLocalMachine = 0x80000002u;

// Status codes of the real registry API that callers distinguish.
inline constexpr int32_t kRegSuccess = 0;
inline constexpr int32_t kRegFileNotFound = 2;
inline constexpr int32_t kRegAccessDenied = 5;
inline constexpr int32_t kRegInvalidParameter = 87;
inline constexpr int32_t kRegMoreData = 234;
inline constexpr int32_t kRegBadKey = 1010;
inline constexpr int32_t kRegBadFormat = 1009;  // "registry database is corrupt"

// Access mask for reading (KEY_READ).
inline constexpr uint32_t kKeyRead = 0x20019u;

// The three calls mirror RegOpenKeyExA, RegQueryValueExA and RegCloseKey with
// their status codes, so that a backend on the real registry is a thin shim.
class RegistryBackend {
 public:
  virtual ~RegistryBackend() = default;

  // Opens `subKey` (backslash-separated, case-insensitive) below `root`.
  virtual int32_t OpenKey(RegHandle root, const std::string& subKey, uint32_t access,
                          RegHandle& opened) = 0;

  // With `data` null, reports the value's size in bytes in `size`. With a
  // buffer, copies at most `size` bytes and sets `size` to the value's size;
  // kRegMoreData when the buffer is too small. `type` receives the value type
  // (1 REG_SZ, 3 REG_BINARY, 4 REG_DWORD, ...).
  virtual int32_t QueryValue(RegHandle key, const std::string& valueName, uint32_t& type,
                             char* data, uint32_t& size) = 0;

  virtual int32_t CloseKey(RegHandle key) = 0;
};

}  // namespace korvex
