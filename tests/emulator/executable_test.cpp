// korvex-pinpad as a process, spoken to over loopback TCP.
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <asio.hpp>
#include <chrono>
#include <filesystem>

#include "harness/temp_dir.h"
#include "raw_line.h"

namespace korvex::emu {
namespace {

using namespace testing;

// Reads from fd until `done` holds, the other end closes or 5 s pass.
template <typename Done>
std::string Read(int fd, Done done) {
  std::string got;
  const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (!done(got) && std::chrono::steady_clock::now() < limit) {
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, 50) <= 0) continue;
    char buf[256];
    const ssize_t n = read(fd, buf, sizeof buf);
    if (n <= 0) break;
    got.append(buf, size_t(n));
  }
  return got;
}

// The program with its stdout and stderr on one pipe; killed if still running.
class PinPadProcess {
 public:
  explicit PinPadProcess(std::vector<std::string> args) {
    const std::filesystem::path binary =
        std::filesystem::read_symlink("/proc/self/exe").parent_path() / "../emulator/korvex-pinpad";
    std::vector<char*> argv{const_cast<char*>(binary.c_str())};
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    int out[2];
    if (pipe(out) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      dup2(out[1], 1);
      dup2(out[1], 2);
      execv(argv[0], argv.data());
      _exit(127);
    }
    close(out[1]);
    out_ = out[0];
  }
  ~PinPadProcess() {
    if (pid_ > 0) Exit(SIGKILL);
    close(out_);
  }
  // The port of "listening on 127.0.0.1:PORT"; 0 if that never came.
  uint16_t Port() {
    const std::string prefix = "listening on 127.0.0.1:";
    const std::string text = Read(out_, [&](const std::string& s) {
      return s.find('\n', s.find(prefix)) != std::string::npos;
    });
    const size_t at = text.find(prefix);
    return at == std::string::npos ? 0 : uint16_t(std::atoi(&text[at + prefix.size()]));
  }
  // The exit code after `signal` (none when 0); -1 if it did not exit normally.
  int Exit(int signal = 0) {
    if (signal != 0) kill(pid_, signal);
    int status = 0;
    waitpid(std::exchange(pid_, -1), &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  std::string Output() {
    return Read(out_, [](const std::string&) { return false; });
  }

 private:
  pid_t pid_ = -1;
  int out_ = -1;
};

// One router connection: sends `bytes` and gives the first `want` bytes back.
std::string Exchange(PinPadProcess& pad, const std::string& bytes, size_t want) {
  asio::io_context io;
  asio::ip::tcp::socket socket(io);
  socket.connect({asio::ip::address_v4::loopback(), pad.Port()});
  asio::write(socket, asio::buffer(bytes));
  return Read(socket.native_handle(), [want](const std::string& s) { return s.size() >= want; });
}

// The loader that I07 boots in the first run answers L00 in the second.
TEST(Executable, AnswersOverLoopbackKeepsItsStateAndExitsCleanlyOnSigterm) {
  korvex::testing::TempDir dir;
  const std::vector<std::string> args = {"--listen", "127.0.0.1:0", "--state-dir", dir.path()};
  {
    PinPadProcess pad(args);
    EXPECT_EQ(Exchange(pad, kSetComm19200 + Frame("P01") + kAck + Frame("I07"), 12),
              kAck + Frame("P010002") + kAck);
    EXPECT_EQ(pad.Exit(SIGTERM), 0);
  }
  PinPadProcess pad(args);
  EXPECT_EQ(Exchange(pad, kSetComm19200 + Frame("L00"), 7), kAck + Frame("KD0"));
  EXPECT_EQ(pad.Exit(SIGTERM), 0);
}

TEST(Executable, RefusesABadScenarioNamingTheField) {
  korvex::testing::TempDir dir;
  const std::string file = dir.Write("bad.json", R"({"card": {"present": 1}})");
  PinPadProcess pad({"--listen", "127.0.0.1:0", "--scenario", file});
  EXPECT_EQ(pad.Exit(), 2);
  EXPECT_EQ(pad.Output(), file + ": card.present: expected a boolean\n");
}

}  // namespace
}  // namespace korvex::emu
