#include "korvex/win_registry.h"

#ifdef _WIN32
#include <windows.h>
#endif

#include "korvex/memory_registry.h"

namespace korvex {

#ifdef _WIN32

namespace {

// The API's predefined roots are 32-bit numbers sign-extended into a
// pointer: HKEY_LOCAL_MACHINE is 0x80000002 as a LONG. Anything else is a
// handle the API gave us.
HKEY ToHkey(RegHandle handle) {
  if (handle >= 0x80000000u && handle <= 0xFFFFFFFFu) {
    return reinterpret_cast<HKEY>(
        static_cast<ULONG_PTR>(static_cast<LONG>(static_cast<uint32_t>(handle))));
  }
  return reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(handle));
}

}  // namespace

int32_t WinRegistry::OpenKey(RegHandle root, const std::string& subKey, uint32_t access,
                             RegHandle& opened) {
  HKEY key = nullptr;
  const LONG status = RegOpenKeyExA(ToHkey(root), subKey.c_str(), 0, access, &key);
  opened = status == ERROR_SUCCESS ? static_cast<RegHandle>(reinterpret_cast<ULONG_PTR>(key)) : 0;
  return static_cast<int32_t>(status);
}

int32_t WinRegistry::QueryValue(RegHandle key, const std::string& valueName, uint32_t& type,
                                char* data, uint32_t& size) {
  DWORD valueType = 0;
  DWORD valueSize = data == nullptr ? 0 : size;
  const LONG status = RegQueryValueExA(ToHkey(key), valueName.c_str(), nullptr, &valueType,
                                       reinterpret_cast<BYTE*>(data), &valueSize);
  type = valueType;
  size = valueSize;
  return static_cast<int32_t>(status);
}

int32_t WinRegistry::CloseKey(RegHandle key) {
  return static_cast<int32_t>(RegCloseKey(ToHkey(key)));
}

std::unique_ptr<RegistryBackend> SystemRegistry() {
  return std::make_unique<WinRegistry>();
}

#else

std::unique_ptr<RegistryBackend> SystemRegistry() {
  return std::make_unique<MemoryRegistry>();
}

#endif

}  // namespace korvex
