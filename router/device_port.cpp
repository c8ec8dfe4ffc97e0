#include "router/device_port.h"

namespace korvex::router {

DevicePort::DevicePort(asio::io_context& io, PortConfig config, const AllowList& allow,
                       RouterLog& log, int commandTimeoutMs)
    : config_(std::move(config)),
      allow_(allow),
      log_(log),
      commandTimeoutMs_(commandTimeoutMs),
      device_(io, config_.device, config_.flow),
      acceptor_(io) {}

DevicePort::~DevicePort() {
  Stop();
}

bool DevicePort::Start(std::string& error) {
  if (!device_.Open(error)) {
    error = config_.device + ": " + error;
    return false;
  }
  const asio::ip::tcp::endpoint endpoint(asio::ip::make_address(config_.listenAddress),
                                         config_.listenPort);
  asio::error_code ec;
  acceptor_.open(endpoint.protocol(), ec);
  if (!ec) acceptor_.set_option(asio::ip::tcp::acceptor::reuse_address(true), ec);
  if (!ec) acceptor_.bind(endpoint, ec);
  if (!ec) acceptor_.listen(asio::socket_base::max_listen_connections, ec);
  if (ec) {
    error = config_.listenAddress + ":" + std::to_string(config_.listenPort) +
            ": cannot listen: " + ec.message();
    return false;
  }
  label_ = std::to_string(LocalPort()) + " (" + config_.device + ")";
  log_.Info(label_ + ": listening on " + config_.listenAddress + ", device " +
            (device_.LowLatency() ? "in low-latency mode" : "without low-latency mode"));
  Accept();
  return true;
}

void DevicePort::Stop() {
  asio::error_code ignored;
  acceptor_.close(ignored);
  if (active_) active_->Close("the router stops");
  device_.Close();
}

uint16_t DevicePort::LocalPort() const {
  asio::error_code ec;
  const auto endpoint = acceptor_.local_endpoint(ec);
  return ec ? 0 : endpoint.port();
}

void DevicePort::Accept() {
  acceptor_.async_accept([this](const asio::error_code& ec, asio::ip::tcp::socket socket) {
    if (ec == asio::error::operation_aborted || !acceptor_.is_open()) return;
    if (ec) log_.Warning(label_ + ": accepting a connection failed: " + ec.message());
    if (!ec) OnAccepted(std::move(socket));
    Accept();
  });
}

void DevicePort::OnAccepted(asio::ip::tcp::socket socket) {
  asio::error_code ec;
  const auto remote = socket.remote_endpoint(ec);
  if (ec) return;  // gone already
  const std::string client = remote.address().to_string() + ":" + std::to_string(remote.port());
  if (!allow_.Allows(remote.address())) {
    log_.Warning(label_ + ": refused connection from " + client + ": address not allowed");
    return;  // the socket closes as it goes out of scope
  }
  if (!TakeTurn(client)) return;
  SessionContext context{device_, log_, label_, commandTimeoutMs_, config_.traceDir, LocalPort()};
  auto session = std::make_shared<RelaySession>(std::move(socket), std::move(context));
  RelaySession* raw = session.get();
  active_ = session;
  // Set before Start: a session can end inside it.
  session->SetOnEnd([this, raw] {
    if (active_.get() == raw) active_.reset();
  });
  session->Start();
}

bool DevicePort::TakeTurn(const std::string& client) {
  if (!active_) return true;
  if (!config_.replace) {
    log_.Warning(label_ + ": refused connection from " + client + ": the device is in use by " +
                 active_->Client());
    return false;
  }
  active_->Close("replaced by a new connection from " + client);
  return true;
}

}  // namespace korvex::router
