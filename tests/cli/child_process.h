// A child process with its standard input, output and error on pipes, for
// tests that drive a tool the way a program in another language would. Every
// wait is bounded; a child still running at the end is killed.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <optional>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace korvex::testing {

// This process's environment with `name` set to `value`, or removed when
// value is null.
inline std::vector<std::string> EnvironmentWith(const std::string& name, const char* value) {
  std::vector<std::string> env;
  for (char** e = environ; *e != nullptr; ++e) {
    if (std::strncmp(*e, (name + "=").c_str(), name.size() + 1) != 0) env.emplace_back(*e);
  }
  if (value != nullptr) env.push_back(name + "=" + value);
  return env;
}

class ChildProcess {
 public:
  ChildProcess(const std::vector<std::string>& argv, const std::vector<std::string>& env) {
    // A child that exits early must fail the write, not kill the test.
    signal(SIGPIPE, SIG_IGN);
    int in[2], out[2], err[2];
    if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0) {
      return;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_adddup2(&actions, err[1], 2);
    std::vector<char*> args = Pointers(argv), envp = Pointers(env);
    if (posix_spawn(&pid_, args[0], &actions, nullptr, args.data(), envp.data()) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
    close(in[0]), close(out[1]), close(err[1]);
    in_ = in[1], out_ = out[0], err_ = err[0];
  }
  ~ChildProcess() {
    if (pid_ > 0 && Wait(std::chrono::seconds(0)) == kStillRunning) Kill();
    for (int fd : {in_, out_, err_}) {
      if (fd >= 0) close(fd);
    }
  }
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  static constexpr int kStillRunning = -1;

  bool Started() const { return pid_ > 0; }

  bool Write(const std::string& bytes) {
    return in_ >= 0 && ::write(in_, bytes.data(), bytes.size()) == ssize_t(bytes.size());
  }
  void CloseInput() {
    if (in_ >= 0) close(in_);
    in_ = -1;
  }

  // The next line of standard output without its '\n'; nothing when none
  // comes within `timeout` or the output ended.
  std::optional<std::string> ReadLine(std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
      const size_t newline = outBuffer_.find('\n');
      if (newline != std::string::npos) {
        std::string line = outBuffer_.substr(0, newline);
        outBuffer_.erase(0, newline + 1);
        return line;
      }
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          deadline - std::chrono::steady_clock::now());
      if (left.count() <= 0 || !ReadSome(out_, outBuffer_, int(left.count()))) return {};
    }
  }

  // Asks the child to end, as Ctrl-C or a service manager would.
  void Terminate() {
    if (pid_ > 0 && !status_) kill(pid_, SIGTERM);
  }

  // The exit status, or kStillRunning when the child has not exited within
  // `timeout`.
  int Wait(std::chrono::milliseconds timeout) {
    if (status_) return *status_;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
      int status = 0;
      if (waitpid(pid_, &status, WNOHANG) == pid_) {
        status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        return *status_;
      }
      if (std::chrono::steady_clock::now() >= deadline) return kStillRunning;
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  }

  // Everything written to standard error; call after the child exited.
  std::string Errors() {
    std::string text;
    while (ReadSome(err_, text, 1000)) {
    }
    return text;
  }

 private:
  static std::vector<char*> Pointers(const std::vector<std::string>& strings) {
    std::vector<char*> p;
    for (const std::string& s : strings) p.push_back(const_cast<char*>(s.c_str()));
    p.push_back(nullptr);
    return p;
  }

  // Appends what `fd` has within `timeoutMs`; false at its end or on timeout.
  static bool ReadSome(int fd, std::string& to, int timeoutMs) {
    pollfd p{fd, POLLIN, 0};
    if (fd < 0 || poll(&p, 1, timeoutMs) <= 0) return false;
    char buffer[4096];
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n <= 0) return false;
    to.append(buffer, size_t(n));
    return true;
  }

  void Kill() {
    kill(pid_, SIGKILL);
    int status = 0;
    waitpid(pid_, &status, 0);
  }

  pid_t pid_ = -1;
  int in_ = -1, out_ = -1, err_ = -1;
  std::string outBuffer_;
  std::optional<int> status_;
};

}  // namespace korvex::testing
