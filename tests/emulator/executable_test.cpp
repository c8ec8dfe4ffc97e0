// korvex-pinpad as a process, spoken to over loopback TCP.
#include <gtest/gtest.h>
#include <poll.h>

#include <asio.hpp>
#include <sstream>

#include "cli/child_process.h"
#include "download_frames.h"
#include "harness/temp_dir.h"
#include "raw_line.h"

namespace korvex::emu {
namespace {

using namespace testing;
using namespace std::chrono_literals;

// The program started with `args` (split at spaces); killed if still running.
struct PinPadProcess : korvex::testing::ChildProcess {
  explicit PinPadProcess(const std::string& args) : ChildProcess(Argv(args)) {}
  static std::vector<std::string> Argv(const std::string& args) {
    std::vector<std::string> argv{"emulator/korvex-pinpad"};
    std::istringstream in(args);
    for (std::string arg; in >> arg;) argv.push_back(arg);
    return argv;
  }
  int Stop() {
    kill(Pid(), SIGTERM);
    return Wait(10s);
  }
  // One router connection to the port announced: sends `bytes`, gives `want`
  // bytes back, or what came within 5 s.
  std::string Exchange(const std::string& bytes, size_t want) {
    const std::string prefix = "listening on 127.0.0.1:";
    while (port == 0) {
      const auto line = ReadLine(10s);
      if (!line) return "not listening: " + errors;
      if (line->starts_with(prefix)) port = std::atoi(line->c_str() + prefix.size());
    }
    asio::io_context io;
    asio::ip::tcp::socket socket(io);
    socket.connect({asio::ip::address_v4::loopback(), uint16_t(port)});
    asio::write(socket, asio::buffer(bytes));
    std::string got;
    for (int i = 0; i < 100 && got.size() < want; ++i) {
      char buf[256];
      pollfd p{socket.native_handle(), POLLIN, 0};
      const ssize_t n = poll(&p, 1, 50) > 0 ? read(p.fd, buf, sizeof buf) : -1;
      if (n == 0) break;
      if (n > 0) got.append(buf, size_t(n));
    }
    return got;
  }
  int port = 0;
};

// The loader that I07 boots in the first run answers L00 in the second.
TEST(Executable, AnswersOverLoopbackKeepsItsStateAndExitsOnSigterm) {
  korvex::testing::TempDir dir;
  const std::string args = "--listen 127.0.0.1:0 --state-dir " + dir.path();
  {
    PinPadProcess pad(args);
    EXPECT_EQ(pad.Exchange(kSetComm19200 + Frame("P01") + kAck + Frame("I07"), 12),
              kAck + Frame("P010002") + kAck);
    EXPECT_EQ(pad.Stop(), 0);
  }
  PinPadProcess again(args);
  EXPECT_EQ(again.Exchange(kSetComm19200 + Frame("L00"), 7), kAck + Frame("KD0"));
  EXPECT_EQ(again.Stop(), 0);
}

// What cannot work is refused at start, before the program listens, with the
// option or file, the field and the problem (on standard error).
TEST(Executable, ChecksItsOptionsAndScenarioAtStart) {
  korvex::testing::TempDir dir;
  const std::string file = dir.Write("plain", "");
  const std::string bad = dir.Write("bad.json", R"({"card": {"present": 1}})");
  const struct {
    std::string args;
    std::string output;
    int status;
  } cases[] = {
      {"--version", "korvex-pinpad " KORVEX_VERSION "\n", 0},
      {"--listen 127.0.0.1:0 --state-dir " + file, "--state-dir " + file + ": not a folder\n", 2},
      {"--listen 127.0.0.1:0 --scenario " + dir.path(), dir.path() + ": a folder, not a file\n", 2},
      {"--listen 127.0.0.1:0 --scenario " + bad, bad + ": card.present: expected a boolean\n", 2},
      {"--listen [::1]:0", "listening on [::1]:", 0},
  };
  for (const auto& c : cases) {
    PinPadProcess pad(c.args);
    const std::string first = pad.ReadLine(10s).value_or("");
    const int status = first.starts_with("listening") ? pad.Stop() : pad.Wait(10s);
    EXPECT_EQ((first.empty() ? pad.errors : first + "\n").substr(0, c.output.size()), c.output)
        << c.args;
    EXPECT_EQ(status, c.status) << c.args;
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
  EXPECT_EQ(pad.Stop(), 0);
  EXPECT_EQ(dir.Read("K1.EMV"), "hello");
}

}  // namespace
}  // namespace korvex::emu
