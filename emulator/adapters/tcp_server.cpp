#include "emulator/adapters/tcp_server.h"

namespace korvex::emu {

TcpServer::TcpServer(asio::io_context& io, Emulator& core, const asio::ip::tcp::endpoint& endpoint)
    : io_(io), core_(core), acceptor_(io) {
  acceptor_.open(endpoint.protocol());
  acceptor_.set_option(asio::ip::tcp::acceptor::reuse_address(true));
  acceptor_.bind(endpoint);
  // A backlog of one: the next connection waits while the current one is served.
  acceptor_.listen(1);
}

void TcpServer::Start() {
  Accept();
}

void TcpServer::Stop() {
  stopped_ = true;
  std::error_code ignored;
  acceptor_.close(ignored);
  if (current_) current_->Stop();
  current_.reset();
}

void TcpServer::Accept() {
  if (stopped_) return;
  acceptor_.async_accept([this](std::error_code ec, asio::ip::tcp::socket socket) {
    if (stopped_) return;
    if (ec) {
      Accept();
      return;
    }
    socket.set_option(asio::ip::tcp::no_delay(true));
    current_ = std::make_shared<StreamPump<asio::ip::tcp::socket>>(std::move(socket), core_,
                                                                   ConnectOptions{});
    current_->onActivity = [this] {
      if (onActivity) onActivity();
    };
    current_->idleTimeoutUs = idleTimeoutUs;
    current_->onIdle = [this] {
      if (onIdle) onIdle();
    };
    current_->onDone = [this] {
      // Runs inside the pump; let it unwind before the next accept.
      asio::post(io_, [this] {
        current_.reset();
        Accept();
      });
    };
    current_->Start();
  });
}

}  // namespace korvex::emu
