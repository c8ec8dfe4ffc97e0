#include "support/own_library.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#include <unistd.h>
#endif

#include <vector>

namespace korvex {

#ifdef _WIN32

// The module that holds this very function is the library's DLL, whichever
// program loaded it and from wherever.
std::string OwnLibraryFile() {
  HMODULE module = nullptr;
  if (!GetModuleHandleExA(
          GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
          reinterpret_cast<LPCSTR>(&OwnLibraryFile), &module)) {
    return "libkorvex.dll";
  }
  std::vector<char> name(MAX_PATH);
  for (;;) {
    const DWORD length = GetModuleFileNameA(module, name.data(), static_cast<DWORD>(name.size()));
    if (length == 0) return "libkorvex.dll";
    if (length < name.size()) return std::string(name.data(), length);
    name.resize(name.size() * 2);  // cut short: ask again with room for more
  }
}

std::string ComputerName(size_t bufferSize) {
  std::vector<char> name(bufferSize + 1);
  DWORD length = static_cast<DWORD>(bufferSize);
  if (!GetComputerNameA(name.data(), &length)) return "";
  return length >= 1 && length <= bufferSize ? std::string(name.data(), length) : "";
}

#else

std::string OwnLibraryFile() {
  Dl_info info{};
  if (dladdr(reinterpret_cast<const void*>(&OwnLibraryFile), &info) != 0 &&
      info.dli_fname != nullptr && info.dli_fname[0] != '\0') {
    return info.dli_fname;
  }
  return "libkorvex.so";
}

std::string ComputerName(size_t bufferSize) {
  std::vector<char> name(bufferSize + 1);
  if (gethostname(name.data(), bufferSize) != 0) return "";
  const size_t length = std::char_traits<char>::length(name.data());
  return length >= 1 && length <= bufferSize ? std::string(name.data(), length) : "";
}

#endif

}  // namespace korvex
