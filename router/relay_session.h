// One client connection: its line command first, then bytes relayed both
// ways as soon as they arrive until either side closes. Refusals and the end
// of the connection are logged with their reason.
#pragma once

#include <array>
#include <asio/ip/tcp.hpp>
#include <asio/steady_timer.hpp>
#include <functional>
#include <memory>
#include <string>

#include "router/device_line.h"
#include "router/router_log.h"
#include "router/trace_file.h"

namespace korvex::router {

// What a session takes from its port.
struct SessionContext {
  DeviceLine& device;
  RouterLog& log;
  std::string label;  // the port and device, prefixing every log line
  int commandTimeoutMs = 10000;
  std::string traceDir;
  uint16_t port = 0;
};

class RelaySession : public std::enable_shared_from_this<RelaySession> {
 public:
  RelaySession(asio::ip::tcp::socket socket, SessionContext context);

  // Runs once, when the session closes for whatever reason.
  void SetOnEnd(std::function<void()> onEnd) { onEnd_ = std::move(onEnd); }

  void Start();
  // Closes the client connection and stops using the device; idempotent.
  void Close(const std::string& reason, LogLevel level = LogLevel::Info);
  bool Closed() const { return closed_; }
  const std::string& Client() const { return client_; }

 private:
  using Buffer = std::array<char, 4096>;

  void ReadCommand();
  void OnCommandBytes(size_t n);
  void Accept(std::string leftover);
  void Refuse(const std::string& reason);
  void StartRelay(std::string leftover);
  template <typename From, typename To>
  void Relay(From& from, To& to, Buffer& buffer, bool toPad);
  void OnRelayError(bool toPad, bool reading, const asio::error_code& ec);
  void Traced(bool toPad, const char* data, size_t n);

  asio::ip::tcp::socket socket_;
  SessionContext context_;
  std::function<void()> onEnd_;
  std::string client_;
  asio::steady_timer commandTimer_;
  std::string command_;
  std::string leftover_;
  std::unique_ptr<TraceFile> trace_;
  Buffer toPad_{};
  Buffer fromPad_{};
  bool closed_ = false;
};

}  // namespace korvex::router
