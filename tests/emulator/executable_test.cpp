// korvex-pinpad as a process, spoken to over loopback TCP.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "raw_line.h"

namespace korvex::emu {
namespace {

namespace fs = std::filesystem;
using testing::Frame;
using testing::kAck;

fs::path Binary() {
  if (const char* dir = std::getenv("KORVEX_BUILD_DIR")) {
    return fs::path(dir) / "emulator/korvex-pinpad";
  }
  return fs::read_symlink("/proc/self/exe").parent_path() / "../emulator/korvex-pinpad";
}

// Reads from fd until `done` holds or 5 s pass.
template <typename Done>
std::string ReadUntil(int fd, Done done) {
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

class PinPadProcess {
 public:
  explicit PinPadProcess(std::vector<std::string> args) {
    int out[2], err[2];
    if (pipe(out) != 0 || pipe(err) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      dup2(out[1], 1);
      dup2(err[1], 2);
      std::vector<char*> argv;
      const std::string binary = Binary().string();
      argv.push_back(const_cast<char*>(binary.c_str()));
      for (auto& a : args) argv.push_back(a.data());
      argv.push_back(nullptr);
      execv(argv[0], argv.data());
      _exit(127);
    }
    close(out[1]);
    close(err[1]);
    out_ = out[0];
    err_ = err[0];
  }
  ~PinPadProcess() {
    if (pid_ > 0 && !waited_) {
      kill(pid_, SIGKILL);
      Wait();
    }
    close(out_);
    close(err_);
  }

  // The port from "listening on 127.0.0.1:PORT", 0 when it never came.
  int Port() {
    const std::string prefix = "listening on 127.0.0.1:";
    const std::string text = ReadUntil(out_, [&](const std::string& s) {
      const size_t at = s.find(prefix);
      return at != std::string::npos && s.find('\n', at) != std::string::npos;
    });
    const size_t at = text.find(prefix);
    return at == std::string::npos ? 0 : std::atoi(text.c_str() + at + prefix.size());
  }
  int Terminate() {
    kill(pid_, SIGTERM);
    return Wait();
  }
  int Wait() {
    int status = 0;
    waitpid(pid_, &status, 0);
    waited_ = true;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  std::string Stderr() {
    return ReadUntil(err_, [](const std::string&) { return false; });
  }

 private:
  pid_t pid_ = -1;
  int out_ = -1;
  int err_ = -1;
  bool waited_ = false;
};

int Connect(int port) {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(uint16_t(port));
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
    close(fd);
    return -1;
  }
  return fd;
}

// Sends bytes and reads until `want` bytes came.
std::string Exchange(int fd, const std::string& bytes, size_t want) {
  if (write(fd, bytes.data(), bytes.size()) != ssize_t(bytes.size())) return "write failed";
  return ReadUntil(fd, [want](const std::string& s) { return s.size() >= want; });
}

TEST(Executable, AnswersOverLoopbackAndExitsCleanlyOnSigterm) {
  PinPadProcess pad({"--listen", "127.0.0.1:0"});
  const int port = pad.Port();
  ASSERT_GT(port, 0);
  const int fd = Connect(port);
  ASSERT_GE(fd, 0);
  const std::string want = kAck + Frame("P010002");
  EXPECT_EQ(Exchange(fd, kSetComm19200 + Frame("P01"), want.size()), want);
  close(fd);
  EXPECT_EQ(pad.Terminate(), 0);
}

TEST(Executable, KeepsThePadsStateAcrossRunsInTheStateDir) {
  const fs::path dir = fs::temp_directory_path() / ("korvex-pinpad-" + std::to_string(getpid()));
  fs::remove_all(dir);
  {
    PinPadProcess pad({"--listen", "127.0.0.1:0", "--state-dir", dir.string()});
    const int fd = Connect(pad.Port());
    ASSERT_GE(fd, 0);
    EXPECT_EQ(Exchange(fd, kSetComm19200 + Frame("I07"), 1), kAck);  // the loader boots
    close(fd);
    EXPECT_EQ(pad.Terminate(), 0);
  }
  PinPadProcess pad({"--listen", "127.0.0.1:0", "--state-dir", dir.string()});
  const int fd = Connect(pad.Port());
  ASSERT_GE(fd, 0);
  const std::string want = kAck + Frame("KD0");
  EXPECT_EQ(Exchange(fd, kSetComm19200 + Frame("L00"), want.size()), want);
  close(fd);
  EXPECT_EQ(pad.Terminate(), 0);
  fs::remove_all(dir);
}

TEST(Executable, RefusesABadScenarioNamingTheField) {
  const fs::path file = fs::temp_directory_path() / ("korvex-scenario-" + std::to_string(getpid()));
  std::ofstream(file) << R"({"card": {"present": 1}})";
  PinPadProcess pad({"--listen", "127.0.0.1:0", "--scenario", file.string()});
  EXPECT_EQ(pad.Wait(), 2);
  EXPECT_EQ(pad.Stderr(), file.string() + ": card.present: expected a boolean\n");
  fs::remove(file);
}

}  // namespace
}  // namespace korvex::emu
