// The few POSIX calls the library makes, supplied on Windows from the C
// runtime of mingw-w64. Included after the system headers by the files that
// make those calls; on other systems it adds nothing.
#pragma once

namespace korvex {
// Windows' file systems ignore case: a path that opens may still differ in
// case from the names on disk.
#ifdef _WIN32
inline constexpr bool kFileNamesIgnoreCase = true;
#else
inline constexpr bool kFileNamesIgnoreCase = false;
#endif
}  // namespace korvex

#ifdef _WIN32

#include <direct.h>
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <sys/types.h>

#include <csignal>
#include <cstdint>
#include <ctime>

// Every open() of ours asks for O_CLOEXEC; on Windows the same request keeps
// the descriptor from child processes and opens the file in binary mode,
// which POSIX has without asking: a text-mode read would drop carriage
// returns and stop at a Ctrl-Z byte.
#ifndef O_CLOEXEC
#define O_CLOEXEC (_O_NOINHERIT | _O_BINARY)
#endif
// FIFOs and terminals, which these keep from blocking an open, do not exist
// as files on Windows.
#ifndef O_NONBLOCK
#define O_NONBLOCK 0
#endif
#ifndef O_NOCTTY
#define O_NOCTTY 0
#endif

// No SIGPIPE on Windows: a write to a closed pipe fails with EPIPE, which
// is what ignoring the signal gives on POSIX. signal() refuses the number.
#ifndef SIGPIPE
#define SIGPIPE 13
#endif
#ifndef F_GETFD
#define F_GETFD 1
#endif

namespace korvex::compat {

// Only the question "is this descriptor open?" is asked.
inline int fcntl(int fd, int /*command*/) {
  return ::_get_osfhandle(fd) == -1 ? -1 : 0;
}

inline std::tm* localtime_r(const std::time_t* time, std::tm* result) {
  return ::localtime_s(result, time) == 0 ? result : nullptr;
}

// Windows has no symbolic links that the C runtime would follow.
inline int lstat(const char* path, struct stat* info) {
  return ::stat(path, info);
}

// Not atomic like pread: each descriptor of ours is used by one thread only.
inline long long pread(int fd, void* buffer, size_t count, long long offset) {
  if (::_lseeki64(fd, offset, SEEK_SET) < 0) return -1;
  return ::_read(fd, buffer, static_cast<unsigned>(count > 0x7FFFFFFF ? 0x7FFFFFFF : count));
}

inline int mkdir(const char* path, int /*mode*/) {
  return ::_mkdir(path);
}

}  // namespace korvex::compat

namespace korvex {
using compat::fcntl;
using compat::localtime_r;
using compat::lstat;
using compat::mkdir;
using compat::pread;
}  // namespace korvex

#endif  // _WIN32
