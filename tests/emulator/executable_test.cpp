// korvex-pinpad as a process, spoken to over loopback TCP.
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <asio.hpp>
#include <cstdio>
#include <filesystem>

#include "download_frames.h"
#include "harness/temp_dir.h"
#include "raw_line.h"

namespace korvex::emu {
namespace {

using namespace testing;

// Adds what fd gives to `got` until `done` holds, the other end closes or 5 s pass.
template <typename Done>
std::string Read(int fd, Done done, std::string got = "") {
  for (int i = 0; i < 100 && !done(got); ++i) {
    pollfd p{fd, POLLIN, 0};
    char buf[256];
    const ssize_t n = poll(&p, 1, 50) > 0 ? read(fd, buf, sizeof buf) : -1;
    if (n == 0) break;
    if (n > 0) got.append(buf, size_t(n));
  }
  return got;
}

// The program started by the shell, which first prints its process id; its
// stdout and stderr on one pipe. Killed if still running.
struct PinPadProcess {
  explicit PinPadProcess(const std::string& args) {
    const auto binary =
        std::filesystem::read_symlink("/proc/self/exe").parent_path() / "../emulator/korvex-pinpad";
    pipe = popen(("echo $$; exec " + binary.string() + " " + args + " 2>&1").c_str(), "r");
    out = Read(fileno(pipe), [](const std::string& s) { return s.find('\n') != s.npos; });
    pid = std::atoi(out.c_str());
    out.erase(0, out.find('\n') + 1);
  }
  ~PinPadProcess() {
    if (pipe != nullptr) Exit(SIGKILL);
  }
  // The exit code after `signal` (none when 0); -1 if it did not exit normally.
  int Exit(int signal = 0) {
    if (signal != 0 && pid > 0) kill(pid, signal);
    const int status = pclose(std::exchange(pipe, nullptr));
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  // One router connection to the port announced: sends `bytes`, gives `want` bytes back.
  std::string Exchange(const std::string& bytes, size_t want) {
    const std::string prefix = "listening on 127.0.0.1:";
    out = Read(
        fileno(pipe), [&](const std::string& s) { return s.find('\n', s.find(prefix)) != s.npos; },
        out);
    const size_t at = out.find(prefix);
    if (at == std::string::npos) return "not listening: " + out;
    asio::io_context io;
    asio::ip::tcp::socket socket(io);
    socket.connect(
        {asio::ip::address_v4::loopback(), uint16_t(std::atoi(&out[at + prefix.size()]))});
    asio::write(socket, asio::buffer(bytes));
    return Read(socket.native_handle(), [want](const std::string& s) { return s.size() >= want; });
  }
  FILE* pipe = nullptr;
  pid_t pid = -1;
  std::string out;
};

// The loader that I07 boots in the first run answers L00 in the second; a bad
// scenario is refused naming the field.
TEST(Executable, AnswersOverLoopbackKeepsItsStateExitsOnSigtermAndRefusesBadScenarios) {
  korvex::testing::TempDir dir;
  const std::string args = "--listen 127.0.0.1:0 --state-dir " + dir.path();
  {
    PinPadProcess pad(args);
    EXPECT_EQ(pad.Exchange(kSetComm19200 + Frame("P01") + kAck + Frame("I07"), 12),
              kAck + Frame("P010002") + kAck);
    EXPECT_EQ(pad.Exit(SIGTERM), 0);
  }
  PinPadProcess again(args);
  EXPECT_EQ(again.Exchange(kSetComm19200 + Frame("L00"), 7), kAck + Frame("KD0"));
  EXPECT_EQ(again.Exit(SIGTERM), 0);

  const std::string file = dir.Write("bad.json", R"({"card": {"present": 1}})");
  PinPadProcess bad("--listen 127.0.0.1:0 --scenario " + file);
  EXPECT_EQ(Read(
                fileno(bad.pipe), [](const std::string&) { return false; }, bad.out),
            file + ": card.present: expected a boolean\n");
  EXPECT_EQ(bad.Exit(), 2);
}

// What cannot work is refused at start, before the program listens, with the
// option or file, the field and the problem.
TEST(Executable, ChecksItsOptionsAtStart) {
  korvex::testing::TempDir dir;
  const std::string file = dir.Write("plain", "");
  const struct {
    std::string args;
    std::string output;
    int status;
  } cases[] = {
      {"--version", "korvex-pinpad " KORVEX_VERSION "\n", 0},
      {"--listen 127.0.0.1:0 --state-dir " + file, "--state-dir " + file + ": not a folder\n", 2},
      {"--listen 127.0.0.1:0 --scenario " + dir.path(), dir.path() + ": a folder, not a file\n", 2},
      {"--listen [::1]:0", "listening on [::1]:", 0},
  };
  for (const auto& c : cases) {
    PinPadProcess pad(c.args);
    pad.out = Read(
        fileno(pad.pipe), [](const std::string& s) { return s.find('\n') != s.npos; }, pad.out);
    EXPECT_EQ(pad.out.substr(0, c.output.size()), c.output) << c.args;
    const bool listens = c.output.starts_with("listening");
    EXPECT_EQ(pad.Exit(listens ? SIGTERM : 0), c.status) << c.args;
  }
}

// The whole transfer in one write: each frame waits for nothing but its turn.
TEST(Executable, ABrandNewPadTakesADownloadAndWritesItsFilesOut) {
  korvex::testing::TempDir dir;
  PinPadProcess pad("--listen 127.0.0.1:0 --brand-new --download-block-size 0 --received-files " +
                    dir.path());
  EXPECT_EQ(pad.Exchange(kSetComm19200 + Frame("L0202"), 1), kAck);
  const std::string request = Crc("VFI,KVX-P20,KX20-004711,LDR-3.20,BOOT-1.07,16384,115200,0");
  std::string transfer = kSetComm115200 + kEnq + kAck;
  for (const std::string& f :
       {Crc(kGroup), Crc("C"), Crc(Header("OD", 5, "K1.EMV")), Block(0, "hel"), Block(3, "lo"),
        Crc("C"), Crc(kStack), Crc(kHeap), Crc(kClosing)}) {
    transfer += f;
  }
  EXPECT_EQ(pad.Exchange(transfer + kEot, request.size() + 9), request + std::string(9, ACK));
  EXPECT_EQ(pad.Exchange(kSetComm19200 + Frame("L0302") + Frame("L00"), 1 + 1 + 6),
            kAck + kAck + Frame("KD0"));  // no payment application: the loader answers
  EXPECT_EQ(pad.Exit(SIGTERM), 0);
  EXPECT_EQ(dir.Read("K1.EMV"), "hello");
}

}  // namespace
}  // namespace korvex::emu
