// korvex-pinpad as a process, spoken to over loopback TCP.
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <asio.hpp>
#include <filesystem>

#include "harness/temp_dir.h"
#include "raw_line.h"

namespace korvex::emu {
namespace {

using namespace testing;

// Reads from fd until `size` bytes or a '\n' after `after` came, the other
// end closed or 5 s passed.
std::string Read(int fd, size_t size, const std::string& after = "\x01") {
  std::string got;
  for (int i = 0; i < 100 && got.size() < size; ++i) {
    if (got.find('\n', got.find(after)) != std::string::npos) break;
    pollfd p{fd, POLLIN, 0};
    char buf[256];
    const ssize_t n = poll(&p, 1, 50) > 0 ? read(fd, buf, sizeof buf) : -1;
    if (n == 0) break;
    if (n > 0) got.append(buf, size_t(n));
  }
  return got;
}

// The program with its stdout and stderr on one pipe; killed if still running.
struct PinPadProcess {
  explicit PinPadProcess(std::vector<std::string> args) {
    args.insert(args.begin(), (std::filesystem::read_symlink("/proc/self/exe").parent_path() /
                               "../emulator/korvex-pinpad")
                                  .string());
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    int fds[2];
    if (pipe(fds) != 0) return;
    if ((pid = fork()) == 0) {
      dup2(fds[1], 1), dup2(fds[1], 2);
      execv(argv[0], argv.data());
      _exit(127);
    }
    close(fds[1]);
    out = fds[0];
  }
  ~PinPadProcess() {
    if (pid > 0) Exit(SIGKILL);
    close(out);
  }
  // The exit code after `signal` (none when 0); -1 if it did not exit normally.
  int Exit(int signal = 0) {
    if (signal != 0) kill(pid, signal);
    int status = 0;
    waitpid(std::exchange(pid, -1), &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  // One router connection to the port announced: sends `bytes`, gives `want` bytes back.
  std::string Exchange(const std::string& bytes, size_t want) {
    const std::string prefix = "listening on 127.0.0.1:", text = Read(out, 1000, prefix);
    const size_t at = text.find(prefix);
    if (at == std::string::npos) return "not listening: " + text;
    asio::io_context io;
    asio::ip::tcp::socket socket(io);
    socket.connect(
        {asio::ip::address_v4::loopback(), uint16_t(std::atoi(&text[at + prefix.size()]))});
    asio::write(socket, asio::buffer(bytes));
    return Read(socket.native_handle(), want);
  }
  pid_t pid = -1;
  int out = -1;
};

// The loader that I07 boots in the first run answers L00 in the second; a bad
// scenario is refused naming the field.
TEST(Executable, AnswersOverLoopbackKeepsItsStateExitsOnSigtermAndRefusesBadScenarios) {
  korvex::testing::TempDir dir;
  const std::vector<std::string> args = {"--listen", "127.0.0.1:0", "--state-dir", dir.path()};
  {
    PinPadProcess pad(args);
    EXPECT_EQ(pad.Exchange(kSetComm19200 + Frame("P01") + kAck + Frame("I07"), 12),
              kAck + Frame("P010002") + kAck);
    EXPECT_EQ(pad.Exit(SIGTERM), 0);
  }
  {
    PinPadProcess pad(args);
    EXPECT_EQ(pad.Exchange(kSetComm19200 + Frame("L00"), 7), kAck + Frame("KD0"));
    EXPECT_EQ(pad.Exit(SIGTERM), 0);
  }
  const std::string file = dir.Write("bad.json", R"({"card": {"present": 1}})");
  PinPadProcess pad({"--listen", "127.0.0.1:0", "--scenario", file});
  EXPECT_EQ(pad.Exit(), 2);
  EXPECT_EQ(Read(pad.out, 1000), file + ": card.present: expected a boolean\n");
}

}  // namespace
}  // namespace korvex::emu
