#include "support/files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <filesystem>

#include "support/file_lookup.h"
#include "support/windows_compat.h"

namespace korvex {

namespace {

char Upper(char c) {
  return static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
}

// Wildcard match as the download folder expects it: case-insensitive, "*" any
// run of characters, "?" exactly one.
bool WildcardMatch(const std::string& pattern, const std::string& name) {
  size_t p = 0, n = 0, starP = std::string::npos, starN = 0;
  while (n < name.size()) {
    if (p < pattern.size() && pattern[p] == '*') {
      starP = p++;
      starN = n;
    } else if (p < pattern.size() && (pattern[p] == '?' || Upper(pattern[p]) == Upper(name[n]))) {
      ++p;
      ++n;
    } else if (starP != std::string::npos) {
      p = starP + 1;
      n = ++starN;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

// "*.*" means every entry, names without a dot included.
bool MatchesEntry(const std::string& pattern, const std::string& name) {
  return pattern == "*.*" || WildcardMatch(pattern, name);
}

bool LessIgnoringCase(const std::string& a, const std::string& b) {
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                      [](char x, char y) { return Upper(x) < Upper(y); });
}

int16_t ErrorStatus(int error, std::string* errorText) {
  if (errorText != nullptr) *errorText = std::strerror(error);
  return static_cast<int16_t>(error);
}

// Reads exactly count bytes from offset, retrying short reads.
int ReadAt(int fd, off_t offset, size_t count, std::string& data) {
  data.assign(count, '\0');
  size_t done = 0;
  while (done < count) {
    const ssize_t n = pread(fd, data.data() + done, count - done, offset + done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return errno;
    if (n == 0) break;  // the file shrank meanwhile
    done += static_cast<size_t>(n);
  }
  data.resize(done);
  return 0;
}

int WriteAll(int fd, const std::string& data) {
  size_t done = 0;
  while (done < data.size()) {
    const ssize_t n = write(fd, data.data() + done, data.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return errno;
    done += static_cast<size_t>(n);
  }
  return 0;
}

std::string LastPart(const std::string& nativePath) {
  const size_t slash = nativePath.rfind('/');
  return slash == std::string::npos ? nativePath : nativePath.substr(slash + 1);
}

// An ordinary file: not a folder or device, and not hidden (a dot name).
bool IsOrdinaryFile(const std::string& path, struct stat* info = nullptr) {
  struct stat st {};
  if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
  const std::string name = LastPart(path);
  if (info != nullptr) *info = st;
  return !name.empty() && name[0] != '.';
}

// Opens an ordinary file for reading: not a folder, device or FIFO, and not
// hidden (a dot name). -1 with error ENOENT when there is none at path, or
// with the open's own error when one exists but cannot be opened.
int OpenOrdinaryFile(const std::string& native, struct stat& st, int& error) {
  const std::string name = LastPart(native);
  error = ENOENT;
  if (name.empty() || name[0] == '.') return -1;
  // Non-blocking and no controlling terminal, so that a FIFO or a device in
  // the folder cannot hold the control up before fstat turns it away.
  const int fd = open(native.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) {
    error = errno == ENOTDIR ? ENOENT : errno;
    if (error != ENOENT && !IsOrdinaryFile(native)) error = ENOENT;
    return -1;
  }
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    close(fd);
    return -1;
  }
  error = 0;
  return fd;
}

}  // namespace

int32_t ListFiles(const std::string& pattern, std::vector<std::string>& names) {
  names.assign(1, "");
  const std::string native = NativePath(pattern);
  const size_t slash = native.rfind('/');
  const std::string folder =
      slash == std::string::npos ? "." : ResolvePath(native.substr(0, slash + 1));
  const std::string wildcard = slash == std::string::npos ? native : native.substr(slash + 1);
  if (wildcard.empty()) return 0;

  DIR* dir = opendir(folder.c_str());
  if (dir == nullptr) return 0;
  std::vector<std::string> found;
  while (const dirent* entry = readdir(dir)) {
    const std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    if (MatchesEntry(wildcard, name)) found.push_back(name);
  }
  closedir(dir);
  // Directory order is arbitrary here; sorted names keep runs repeatable.
  std::sort(found.begin(), found.end(), LessIgnoringCase);
  names.insert(names.end(), found.begin(), found.end());
  return static_cast<int32_t>(found.size());
}

int16_t ReadFilePart(const std::string& path, int32_t start, int32_t count, std::string& data,
                     std::string& errorText) {
  data.clear();
  errorText.clear();
  // A download reads every block this way, so the common case (the path as
  // written names the file) costs one open, fstat, pread and close.
  struct stat st {};
  int error = 0;
  int fd = OpenOrdinaryFile(NativePath(path), st, error);
  if (fd < 0 && error == ENOENT) fd = OpenOrdinaryFile(ResolvePath(path), st, error);
  if (fd < 0 && error == ENOENT) {
    errorText = "File not found";
    return -1;
  }
  if (fd < 0) return ErrorStatus(error, &errorText);
  if (start < 1) start = 1;

  const int64_t length = st.st_size;
  if (count != 0 && start <= length) {
    const int64_t available = length - start + 1;
    const int64_t wanted = count < 0 ? available : std::min<int64_t>(count, available);
    error = ReadAt(fd, start - 1, static_cast<size_t>(wanted), data);
  }
  close(fd);
  if (error != 0) {
    data.clear();
    return ErrorStatus(error, &errorText);
  }
  return 0;
}

int16_t WriteFileBytes(const std::string& path, const std::string& data) {
  // The file replaces any case variant of itself and takes the name as given,
  // in the folder as found on disk.
  const std::string given = NativePath(path);
  const std::string existing = ResolvePath(given);
  const size_t slash = existing.rfind('/');
  const std::string native =
      (slash == std::string::npos ? "" : existing.substr(0, slash + 1)) + LastPart(given);
  // A missing file is fine; any other trouble shows when the file is opened.
  if (IsOrdinaryFile(existing)) unlink(existing.c_str());
  unlink(native.c_str());
  const int fd = open(native.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) return ErrorStatus(errno, nullptr);
  int error = WriteAll(fd, data);
  if (close(fd) != 0 && error == 0) error = errno;
  return error == 0 ? 0 : ErrorStatus(error, nullptr);
}

bool FindOrdinaryFile(const std::string& path, FileFacts& facts) {
  const std::string native = ResolvePath(path);
  struct stat st {};
  if (!IsOrdinaryFile(native, &st)) return false;
  facts.name = LastPart(native);
  facts.size = st.st_size;
  facts.modified = st.st_mtime;
  return true;
}

bool FolderExists(const std::string& path) {
  struct stat st {};
  return stat(ResolvePath(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

int16_t CreateFolder(const std::string& path, std::string& errorText) {
  errorText.clear();
  if (mkdir(ResolvePath(path).c_str(), 0777) == 0) return 0;
  return ErrorStatus(errno, &errorText);
}

bool DeleteFile(const std::string& path) {
  const std::string native = ResolvePath(path);
  return IsOrdinaryFile(native) && unlink(native.c_str()) == 0;
}

std::string BuildPath(const std::string& folder, const std::string& name) {
  std::string path = folder;
  if (path.empty()) {
    std::error_code ec;
    path = std::filesystem::current_path(ec).string();
    if (ec || path.empty()) path = ".";
  }
  if (path.back() != '\\' && path.back() != ':') path += '\\';
  return path + name;
}

}  // namespace korvex
