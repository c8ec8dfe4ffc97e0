// The README's first connection test as processes: `korvex host --router`
// drives the control through a `korvex-router` process to the emulated pad
// on a pseudo-terminal (served here, on a thread of its own).
#include <gtest/gtest.h>

#include <asio/post.hpp>
#include <sstream>
#include <thread>

#include "cli/child_process.h"
#include "harness/repo_files.h"
#include "router_rig.h"

namespace korvex::testing {
namespace {

uint16_t FreePort() {
  asio::io_context io;
  asio::ip::tcp::acceptor probe(io, {asio::ip::make_address("127.0.0.1"), 0});
  return probe.local_endpoint().port();
}

// Until the router listens; a probe it refuses at once leaves the device free.
bool RouterListens(uint16_t port) {
  asio::io_context io;
  for (int i = 0; i < 200; ++i) {
    RawClient probe(io, port);
    if (!probe.closed) {
      probe.Send("?");
      asio::error_code ec;
      probe.socket.non_blocking(false, ec);
      char byte;
      probe.socket.read_some(asio::buffer(&byte, 1), ec);
      return ec == asio::error::eof;
    }
    std::this_thread::sleep_for(50ms);
  }
  return false;
}

// The README's first connection test: the calls, and the event it ends with.
std::pair<std::vector<std::string>, std::string> ReadmeSession() {
  const std::string readme = ReadRepoFile("README.md");
  const size_t start = readme.find("\n> ", readme.find("cli/korvex host --router"));
  std::istringstream block(readme.substr(start, readme.find("\n```", start) - start));
  std::vector<std::string> calls;
  std::string last;
  for (std::string line; std::getline(block, line);) {
    if (line.starts_with("> ")) calls.push_back(line.substr(2));
    if (line.starts_with("< ")) last = line.substr(2);
  }
  return {calls, last};
}

std::string ReadUntil(ChildProcess& bridge, const std::string& piece) {
  while (auto line = bridge.ReadLine(20s)) {
    if (line->find(piece) != std::string::npos) return *line;
  }
  return "<no line with " + piece + ">";
}

TEST(RouterProcess, KorvexHostReachesTheEmulatedPadThroughTheRouter) {
  const auto [calls, outcome] = ReadmeSession();
  ASSERT_GE(calls.size(), 5u);
  TempDir dir;
  asio::io_context io;
  auto work = asio::make_work_guard(io);
  emu::Emulator pad;
  const int master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  ASSERT_TRUE(master >= 0 && grantpt(master) == 0 && unlockpt(master) == 0);
  const std::string device = ptsname(master);
  emu::StreamPinPad stream(io, master, pad);

  const std::string port = std::to_string(FreePort());
  ChildProcess router(
      {"router/korvex-router", "--listen", "127.0.0.1:" + port, "--device", device});
  ASSERT_TRUE(RouterListens(std::stoi(port))) << router.Wait(1s) << router.errors;
  asio::post(io, [&] { stream.Start(); });
  std::thread padThread([&] { io.run(); });

  ChildProcess bridge({"cli/korvex", "host", "--router", "127.0.0.1:" + port, "--terminal",
                       RepoPath("examples/terminal.json")});
  for (const std::string& call : calls) bridge.Write(call + "\n");
  EXPECT_EQ(ReadUntil(bridge, "InterfaceEvent"), outcome);
  bridge.CloseInput();
  EXPECT_EQ(bridge.Wait(10s), 0);

  kill(router.Pid(), SIGTERM);
  EXPECT_EQ(router.Wait(10s), 0) << router.errors;
  EXPECT_NE(router.errors.find("line 19200,n,8,1"), std::string::npos) << router.errors;
  EXPECT_NE(router.errors.find("stopping on SIGTERM"), std::string::npos) << router.errors;
  asio::post(io, [&] { stream.Stop(); });
  work.reset();
  padThread.join();
  EXPECT_TRUE(pad.Violations().empty()) << pad.ViolationSummary();
}

}  // namespace
}  // namespace korvex::testing
