// korvex-router in-process on AsioHost's io_context, in front of a
// pseudo-terminal pair: the router opens the slave through a symlink (as a
// udev name would point at a USB adapter), the emulator serves the master.
// One thread runs everything; waits are RunUntil calls whose limit only turns
// a hang into a failure.
#pragma once

#include <fcntl.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <array>
#include <asio/ip/tcp.hpp>
#include <asio/write.hpp>
#include <filesystem>
#include <memory>
#include <sstream>
#include <string>

#include "emulator/adapters/stream_pinpad.h"
#include "harness/scripted_peer.h"
#include "harness/temp_dir.h"
#include "korvex/asio_host.h"
#include "router/router.h"

namespace korvex::testing {

using namespace std::chrono_literals;

// A client speaking to the router directly: bytes in, what comes back, and
// whether the router closed the connection.
struct RawClient {
  RawClient(asio::io_context& io, uint16_t port) : socket(io) {
    asio::error_code ec;
    socket.connect({asio::ip::make_address("127.0.0.1"), port}, ec);
    closed = static_cast<bool>(ec);
  }
  void Send(const std::string& bytes) {
    asio::error_code ignored;
    asio::write(socket, asio::buffer(bytes), ignored);
  }
  // Takes what has arrived; true once the router has closed the connection.
  bool Poll() {
    std::array<char, 4096> buffer;
    asio::error_code ec;
    socket.non_blocking(true, ec);
    while (!closed) {
      const size_t n = socket.read_some(asio::buffer(buffer), ec);
      if (ec == asio::error::would_block) break;
      closed = static_cast<bool>(ec);
      received.append(buffer.data(), n);
    }
    return closed;
  }

  asio::ip::tcp::socket socket;
  std::string received;
  bool closed = false;
};

class RouterRig {
 public:
  explicit RouterRig(emu::EmulatorConfig padConfig = {}, emu::PadState padState = {})
      : pad(std::move(padConfig), std::move(padState)) {
    router::PortConfig port;
    port.device = devicePath;
    config.ports = {port};
    config.commandTimeoutMs = 60000;  // tests that need the timeout set their own
  }
  ~RouterRig() {
    router.reset();
    stream.reset();
  }

  // A fresh pseudo-terminal pair behind devicePath; the pad does not serve it yet.
  void PlugPad() {
    master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(master, 0);
    ASSERT_EQ(grantpt(master), 0);
    ASSERT_EQ(unlockpt(master), 0);
    std::error_code ignored;
    std::filesystem::remove(devicePath, ignored);
    std::filesystem::create_symlink(ptsname(master), devicePath);
    stream = std::make_unique<emu::StreamPinPad>(host.Context(), master, pad);
  }
  bool StartRouter() {
    router = std::make_unique<router::Router>(host.Context(), config, log);
    return router->Start(startError);
  }
  // The usual order: the router holds the slave before the pad listens on the master.
  void Start() {
    PlugPad();
    ASSERT_TRUE(StartRouter()) << startError;
    stream->Start();
  }
  // Closes the master: the device is gone for whoever holds the slave.
  void UnplugPad() {
    stream.reset();
    master = -1;
  }

  uint16_t Port() const { return router->LocalPort(0); }
  bool Wait(const std::function<bool()>& done) { return host.RunUntil(done, 20s); }
  std::string Log() const { return logText.str(); }
  bool Logged(const std::string& piece) const { return Log().find(piece) != std::string::npos; }
  // The line settings the router applied, read back from the master side.
  termios Line() const {
    termios t{};
    tcgetattr(master, &t);
    return t;
  }

  TempDir dir;
  AsioHost host;
  std::ostringstream logText;
  router::RouterLog log{logText, router::LogLevel::Debug};
  std::string devicePath = dir.File("pad");
  router::RouterConfig config;
  std::string startError;
  emu::Emulator pad;
  int master = -1;  // owned by `stream`
  std::unique_ptr<emu::StreamPinPad> stream;
  std::unique_ptr<router::Router> router;
};

}  // namespace korvex::testing
