#include "korvex/reg_file_registry.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "config/reg_file_parser.h"
#include "korvex/win_registry.h"
#include "support/windows_compat.h"

namespace korvex {

namespace {

// Registry exports holding router addresses are a few kilobytes; anything
// near this is no such file.
constexpr off_t kMaxRegFileBytes = off_t{1} << 20;
// Enough for the longer header in UTF-16 with its byte-order mark.
constexpr size_t kHeaderBytes = 128;

enum class ReadFault { kNone, kCannotRead, kBadFormat };

// Up to `limit` more bytes appended to `bytes`; false with the system's reason.
bool ReadUpTo(int fd, size_t limit, std::string& bytes, std::string& reason) {
  char buffer[65536];
  while (limit > 0) {
    const ssize_t n = read(fd, buffer, std::min(sizeof buffer, limit));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      reason = std::strerror(errno);
      return false;
    }
    if (n == 0) break;
    bytes.append(buffer, static_cast<size_t>(n));
    limit -= static_cast<size_t>(n);
  }
  return true;
}

// Only a regular file of at most kMaxRegFileBytes whose first line is a
// registry export header is read whole: a device, a FIFO (opened without
// waiting for a writer), a folder or a huge file is refused at once.
ReadFault ReadRegFile(const std::string& path, std::string& bytes, std::string& error) {
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) {
    error = path + ": cannot read the registry file: " + std::strerror(errno);
    return ReadFault::kCannotRead;
  }
  std::string reason;
  struct stat info {};
  ReadFault fault = ReadFault::kCannotRead;
  if (fstat(fd, &info) != 0) {
    error = path + ": cannot read the registry file: " + std::strerror(errno);
  } else if (!S_ISREG(info.st_mode)) {
    error = path + ": cannot read the registry file: not a regular file";
  } else if (!ReadUpTo(fd, kHeaderBytes, bytes, reason)) {
    error = path + ": cannot read the registry file: " + reason;
  } else if (!CheckRegExportHeader(bytes, path, error)) {
    fault = ReadFault::kBadFormat;
  } else if (info.st_size > kMaxRegFileBytes) {
    error = path + ": cannot read the registry file: larger than 1 MiB";
  } else if (!ReadUpTo(fd, static_cast<size_t>(kMaxRegFileBytes) + 1 - bytes.size(), bytes,
                       reason)) {
    error = path + ": cannot read the registry file: " + reason;
  } else if (bytes.size() > static_cast<size_t>(kMaxRegFileBytes)) {
    error = path + ": cannot read the registry file: larger than 1 MiB";  // it grew
  } else {
    fault = ReadFault::kNone;
  }
  close(fd);
  return fault;
}

}  // namespace

RegFileRegistry::RegFileRegistry(std::string path) : path_(std::move(path)) {
  Reload();
}

bool RegFileRegistry::Reload() {
  tree_ = MemoryRegistry();
  error_.clear();
  std::string bytes;
  if (const ReadFault fault = ReadRegFile(path_, bytes, error_); fault != ReadFault::kNone) {
    status_ = fault == ReadFault::kBadFormat ? kRegBadFormat : kRegIoFailed;
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
  if (path == nullptr || path[0] == '\0') return SystemRegistry();
  auto registry = std::make_unique<RegFileRegistry>(path);
  if (loadError != nullptr) *loadError = registry->Error();
  return registry;
}

}  // namespace korvex
