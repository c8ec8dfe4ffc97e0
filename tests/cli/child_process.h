// A tool as a child process on pipes, driven the way a program in another
// language drives it. Every wait is bounded; a child left running is killed.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

namespace korvex::testing {

class ChildProcess {
 public:
  // Runs argv, whose program is named relative to the build folder unless its path is absolute.
  explicit ChildProcess(std::vector<std::string> argv) {
    if (argv[0][0] != '/') argv[0] = BuildPath(argv[0]);
    signal(SIGPIPE, SIG_IGN);  // a child that exits early fails the write, not the test
    int p[3][2];
    if (pipe2(p[0], O_CLOEXEC) || pipe2(p[1], O_CLOEXEC) || pipe2(p[2], O_CLOEXEC)) return;
    std::vector<char*> args;
    for (std::string& a : argv) args.push_back(a.data());
    args.push_back(nullptr);
    if ((pid_ = fork()) == 0) {
      for (int fd = 0; fd < 3; ++fd) dup2(p[fd][fd == 0 ? 0 : 1], fd);
      execv(args[0], args.data());
      _exit(127);
    }
    close(p[0][0]), close(p[1][1]), close(p[2][1]);
    in_ = p[0][1], out_ = p[1][0], err_ = p[2][0];
  }
  ~ChildProcess() {
    if (pid_ > 0) kill(pid_, SIGKILL), waitpid(pid_, nullptr, 0);
    for (int fd : {in_, out_, err_}) close(fd);
  }

  static std::string BuildPath(const std::string& path) {
    const char* build = std::getenv("KORVEX_BUILD_DIR");
    return std::string(build != nullptr ? build : "build/dev") + "/" + path;
  }

  bool Write(const std::string& b) { return ::write(in_, b.data(), b.size()) == ssize_t(b.size()); }
  // Writes at most PIPE_BUF bytes once the child has room for them within `timeout`; false
  // when it takes none.
  bool WriteWithin(const std::string& b, std::chrono::milliseconds timeout) {
    const int flags = fcntl(in_, F_GETFL);
    fcntl(in_, F_SETFL, flags | O_NONBLOCK);  // so that a write without room fails, never waits
    pollfd p{in_, POLLOUT, 0};
    bool written = Write(b);
    while (!written && errno == EAGAIN && poll(&p, 1, int(timeout.count())) > 0) written = Write(b);
    fcntl(in_, F_SETFL, flags);
    return written;
  }
  // The child's standard output holds one page unread before its writes wait.
  void ShrinkOutputPipe() { fcntl(out_, F_SETPIPE_SZ, 4096); }
  void CloseInput() { close(in_), in_ = -1; }

  // The next line of standard output without its '\n'; nothing at its end or after `timeout`.
  std::optional<std::string> ReadLine(std::chrono::milliseconds timeout) {
    while (out_buffer_.find('\n') == std::string::npos) {
      if (ReadSome(out_, out_buffer_, timeout) <= 0) return {};
    }
    std::string line = out_buffer_.substr(0, out_buffer_.find('\n'));
    out_buffer_.erase(0, line.size() + 1);
    return line;
  }

  // The exit status after the end of the output (the rest skipped, standard error kept in
  // `errors`). A child whose output pauses for `timeout` is killed first (status 137).
  int Wait(std::chrono::milliseconds timeout) {
    if (pid_ <= 0) return -1;
    ssize_t n;
    while ((n = ReadSome(out_, out_buffer_, timeout)) > 0) continue;
    if (n == 0) {
      while ((n = ReadSome(err_, errors, timeout)) > 0) continue;
    }
    if (n < 0) kill(pid_, SIGKILL);
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }

  pid_t Pid() const { return pid_; }

  std::string errors;

 private:
  // Appends what `fd` has within `timeout`: the byte count, 0 at its end, -1 on timeout.
  static ssize_t ReadSome(int fd, std::string& to, std::chrono::milliseconds timeout) {
    pollfd p{fd, POLLIN, 0};
    char buffer[4096];
    const ssize_t n =
        poll(&p, 1, int(timeout.count())) > 0 ? ::read(fd, buffer, sizeof buffer) : -1;
    if (n > 0) to.append(buffer, size_t(n));
    return n;
  }

  pid_t pid_ = -1;
  int in_ = -1, out_ = -1, err_ = -1;
  std::string out_buffer_;
};

}  // namespace korvex::testing
