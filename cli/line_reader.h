// Input lines for the host bridge: a byte stream cut at '\n', read from a file
// descriptor on a thread of its own so that a pipe, a terminal and a plain
// file all work the same way.
#pragma once

#include <atomic>
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace korvex::cli {

// Longest input line the bridge accepts; a longer one is answered as malformed.
inline constexpr size_t kMaxInputLine = 1 << 20;

struct InputLine {
  std::string text;      // without its '\n'; empty when tooLong
  bool tooLong = false;  // the line passed the limit and was dropped
};

// Cuts bytes into lines. A line longer than maxLength is not kept: it comes
// out once, marked tooLong, when its end arrives, so one runaway line cannot
// exhaust memory and the lines after it are still read.
class LineSplitter {
 public:
  explicit LineSplitter(size_t maxLength) : maxLength_(maxLength) {}

  // The lines completed by these bytes.
  std::vector<InputLine> Feed(std::string_view bytes);
  // At end of input: the last line when it had no '\n'.
  std::optional<InputLine> Finish();

 private:
  InputLine TakeLine();

  size_t maxLength_;
  std::string partial_;
  bool overflowed_ = false;
};

// Reads `fd` until end of input (or a read error) on its own thread. Each line
// goes to onLine, then onEnd is called once with "" or the read error; both
// run on the reader's thread. onLine may wait, which stops the reading. Stop
// ends the reading early, without onEnd, once onLine has returned; the
// destructor waits for the thread.
class FdLineReader {
 public:
  FdLineReader(int fd, size_t maxLength, std::function<void(InputLine)> onLine,
               std::function<void(const std::string& error)> onEnd);
  ~FdLineReader();
  FdLineReader(const FdLineReader&) = delete;
  void Stop();
  FdLineReader& operator=(const FdLineReader&) = delete;

 private:
  void Run();
  // Waits until `fd_` can be read; false when stopped first.
  bool WaitForInput();

  int fd_;
  int wake_[2] = {-1, -1};  // a byte written here ends the wait for input
  std::atomic<bool> stopped_{false};
  LineSplitter splitter_;
  std::function<void(InputLine)> onLine_;
  std::function<void(const std::string&)> onEnd_;
  std::thread thread_;
};

}  // namespace korvex::cli
