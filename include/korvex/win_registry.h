// The machine's own registry: on Windows the real one, read through the
// registry API; elsewhere there is none.
#pragma once

#include <memory>

#include "korvex/registry.h"

namespace korvex {

#ifdef _WIN32

// A thin shim over RegOpenKeyExA, RegQueryValueExA and RegCloseKey: status
// codes, value types and sizes are the API's own. Root handles are the
// API's numbers (kHkeyLocalMachine); opened keys are the API's handles.
class WinRegistry : public RegistryBackend {
 public:
  int32_t OpenKey(RegHandle root, const std::string& subKey, uint32_t access,
                  RegHandle& opened) override;
  int32_t QueryValue(RegHandle key, const std::string& valueName, uint32_t& type, char* data,
                     uint32_t& size) override;
  int32_t CloseKey(RegHandle key) override;
};

#endif

// The registry the control reads when no export file is named: a WinRegistry
// on Windows, an empty MemoryRegistry elsewhere.
std::unique_ptr<RegistryBackend> SystemRegistry();

}  // namespace korvex
