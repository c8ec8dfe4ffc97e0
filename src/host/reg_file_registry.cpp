#include "korvex/reg_file_registry.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "host/reg_file_parser.h"

namespace korvex {

namespace {

// The whole file, or false with the system's reason.
bool ReadWholeFile(const std::string& path, std::string& bytes, std::string& reason) {
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    reason = std::strerror(errno);
    return false;
  }
  char buffer[65536];
  bool ok = true;
  while (true) {
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      reason = std::strerror(errno);
      ok = false;
    }
    if (n <= 0) break;
    bytes.append(buffer, static_cast<size_t>(n));
  }
  close(fd);
  return ok;
}

}  // namespace

RegFileRegistry::RegFileRegistry(std::string path) : path_(std::move(path)) {
  Reload();
}

bool RegFileRegistry::Reload() {
  tree_ = MemoryRegistry();
  error_.clear();
  std::string bytes;
  std::string reason;
  if (!ReadWholeFile(path_, bytes, reason)) {
    status_ = kRegIoFailed;
    error_ = path_ + ": cannot read the registry file: " + reason;
    return false;
  }
  if (!ParseRegExport(bytes, path_, tree_, error_)) {
    // OpenKey refuses everything: half a file would answer some keys wrongly.
    status_ = kRegBadFormat;
    return false;
  }
  status_ = kRegSuccess;
  return true;
}

int32_t RegFileRegistry::OpenKey(RegHandle root, const std::string& subKey, uint32_t access,
                                 RegHandle& opened) {
  if (status_ != kRegSuccess) return status_;
  return tree_.OpenKey(root, subKey, access, opened);
}

int32_t RegFileRegistry::QueryValue(RegHandle key, const std::string& valueName, uint32_t& type,
                                    char* data, uint32_t& size) {
  return tree_.QueryValue(key, valueName, type, data, size);
}

int32_t RegFileRegistry::CloseKey(RegHandle key) {
  return tree_.CloseKey(key);
}

std::unique_ptr<RegistryBackend> RegistryFromEnvironment(std::string* loadError) {
  if (loadError != nullptr) loadError->clear();
  const char* path = std::getenv(kRegistryEnvironmentVariable);
  if (path == nullptr || path[0] == '\0') return std::make_unique<MemoryRegistry>();
  auto registry = std::make_unique<RegFileRegistry>(path);
  if (loadError != nullptr) *loadError = registry->Error();
  return registry;
}

}  // namespace korvex
