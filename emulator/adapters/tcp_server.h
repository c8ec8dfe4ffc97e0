// The emulator behind a TCP port, as the router stands: connections are
// served one at a time, each opening with the router's serial command.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include <asio.hpp>
#include "emulator/adapters/stream_pump.h"
#include "emulator/core/emulator.h"

namespace korvex::emu {

class TcpServer {
 public:
  // Binds and listens at once; throws std::system_error when it cannot.
  TcpServer(asio::io_context& io, Emulator& core, const asio::ip::tcp::endpoint& endpoint);

  asio::ip::tcp::endpoint LocalEndpoint() const { return acceptor_.local_endpoint(); }
  void Start();
  // Stops accepting and ends the connection being served.
  void Stop();

  std::function<void()> onActivity;
  // A connection that brings no unit for this long is closed (0: never).
  int64_t idleTimeoutUs = 0;
  std::function<void()> onIdle;

 private:
  void Accept();

  asio::io_context& io_;
  Emulator& core_;
  asio::ip::tcp::acceptor acceptor_;
  std::shared_ptr<StreamPump<asio::ip::tcp::socket>> current_;
  bool stopped_ = false;
};

}  // namespace korvex::emu
