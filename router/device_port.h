// One listening port and the serial device behind it: accepts clients from
// the allow-list, one connection at a time, and hands each to a session.
#pragma once

#include <asio/ip/tcp.hpp>
#include <memory>
#include <string>

#include "router/allow_list.h"
#include "router/device_line.h"
#include "router/relay_session.h"
#include "router/router_config.h"

namespace korvex::router {

class DevicePort {
 public:
  DevicePort(asio::io_context& io, PortConfig config, const AllowList& allow, RouterLog& log,
             int commandTimeoutMs);
  ~DevicePort();

  // Opens the device and starts listening; false with the reason in `error`.
  bool Start(std::string& error);
  // Stops listening, ends the open connection and releases the device.
  void Stop();
  uint16_t LocalPort() const;

 private:
  void Accept();
  void OnAccepted(asio::ip::tcp::socket socket);
  // Whether a new client from `client` may go on; closes the current session
  // when it is to be replaced.
  bool TakeTurn(const std::string& client);

  PortConfig config_;
  const AllowList& allow_;
  RouterLog& log_;
  int commandTimeoutMs_;
  std::string label_;
  DeviceLine device_;
  asio::ip::tcp::acceptor acceptor_;
  std::shared_ptr<RelaySession> active_;
};

}  // namespace korvex::router
