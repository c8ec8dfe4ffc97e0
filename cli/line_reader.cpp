#include "cli/line_reader.h"

#ifdef _WIN32
#include <io.h>
#include <pthread.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace korvex::cli {

std::vector<InputLine> LineSplitter::Feed(std::string_view bytes) {
  std::vector<InputLine> lines;
  lines.reserve(std::count(bytes.begin(), bytes.end(), '\n'));
  while (!bytes.empty()) {
    const size_t newline = bytes.find('\n');
    const std::string_view piece = bytes.substr(0, newline);
    if (!overflowed_) {
      if (partial_.size() + piece.size() > maxLength_) {
        overflowed_ = true;
        partial_.clear();
      } else {
        partial_.append(piece);
      }
    }
    if (newline == std::string_view::npos) break;
    lines.push_back(TakeLine());
    bytes.remove_prefix(newline + 1);
  }
  return lines;
}

std::optional<InputLine> LineSplitter::Finish() {
  if (partial_.empty() && !overflowed_) return std::nullopt;
  return TakeLine();
}

InputLine LineSplitter::TakeLine() {
  InputLine line{std::move(partial_), overflowed_};
  partial_.clear();
  overflowed_ = false;
  return line;
}

#ifdef _WIN32

// Windows cannot poll a console or a pipe: the read itself waits, and Stop
// cancels it.
FdLineReader::FdLineReader(int fd, size_t maxLength, std::function<void(InputLine)> onLine,
                           std::function<void(const std::string&)> onEnd)
    : fd_(fd), splitter_(maxLength), onLine_(std::move(onLine)), onEnd_(std::move(onEnd)) {
  thread_ = std::thread([this] { Run(); });
}

FdLineReader::~FdLineReader() {
  if (thread_.joinable()) thread_.join();
}

void FdLineReader::Stop() {
  stopped_ = true;
  if (thread_.joinable()) CancelSynchronousIo(pthread_gethandle(thread_.native_handle()));
}

bool FdLineReader::WaitForInput() {
  return !stopped_;
}

#else

FdLineReader::FdLineReader(int fd, size_t maxLength, std::function<void(InputLine)> onLine,
                           std::function<void(const std::string&)> onEnd)
    : fd_(fd), splitter_(maxLength), onLine_(std::move(onLine)), onEnd_(std::move(onEnd)) {
  if (::pipe2(wake_, O_CLOEXEC) != 0) wake_[0] = wake_[1] = -1;  // then Stop waits for input
  thread_ = std::thread([this] { Run(); });
}

FdLineReader::~FdLineReader() {
  if (thread_.joinable()) thread_.join();
  for (int fd : wake_) {
    if (fd >= 0) ::close(fd);
  }
}

void FdLineReader::Stop() {
  stopped_ = true;
  if (wake_[1] >= 0) (void)!::write(wake_[1], "x", 1);
}

bool FdLineReader::WaitForInput() {
  pollfd fds[2] = {{fd_, POLLIN, 0}, {wake_[0], POLLIN, 0}};
  while (!stopped_) {
    if (::poll(fds, 2, -1) >= 0 || errno != EINTR) return !stopped_;
  }
  return false;
}

#endif

void FdLineReader::Run() {
  char buffer[4096];
  std::string error;
  for (;;) {
    if (!WaitForInput()) return;
    const auto n = ::read(fd_, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) error = std::strerror(errno);
    if (n <= 0) break;
    for (InputLine& line : splitter_.Feed(std::string_view(buffer, size_t(n)))) {
      onLine_(std::move(line));
      if (stopped_) return;
    }
  }
  if (auto last = splitter_.Finish()) onLine_(std::move(*last));
  onEnd_(error);
}

}  // namespace korvex::cli
