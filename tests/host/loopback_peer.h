// A TCP listener on 127.0.0.1 that plays the far end for AsioHost tests. It
// runs on the host's own io_context, so it lives inside the host's loop and
// needs no thread of its own. It only ever writes small replies, synchronously.
#pragma once

#include <array>
#include <asio/ip/tcp.hpp>
#include <asio/write.hpp>
#include <functional>
#include <memory>
#include <string>

namespace korvex::testing {

class LoopbackPeer {
 public:
  explicit LoopbackPeer(asio::io_context& io) : state_(std::make_shared<State>(io)) {
    Accept(state_);
  }
  ~LoopbackPeer() {
    asio::error_code ignored;
    state_->acceptor.close(ignored);
    state_->socket.close(ignored);
  }

  int32_t Port() const { return state_->acceptor.local_endpoint().port(); }
  bool Connected() const { return state_->socket.is_open(); }
  int Accepted() const { return state_->accepted; }
  bool SawClose() const { return state_->sawClose; }
  const std::string& Received() const { return state_->received; }
  // Called with each piece read; may Send or Close.
  void OnData(std::function<void(const std::string&)> handler) {
    state_->onData = std::move(handler);
  }

  void Send(const std::string& bytes) { asio::write(state_->socket, asio::buffer(bytes)); }
  void Close() {
    asio::error_code ignored;
    state_->socket.shutdown(asio::ip::tcp::socket::shutdown_send, ignored);
  }

 private:
  struct State {
    explicit State(asio::io_context& io)
        : acceptor(io, {asio::ip::make_address("127.0.0.1"), 0}), socket(io) {}
    asio::ip::tcp::acceptor acceptor;
    asio::ip::tcp::socket socket;
    std::array<char, 4096> buffer{};
    std::string received;
    int accepted = 0;
    bool sawClose = false;
    std::function<void(const std::string&)> onData;
  };

  static void Accept(const std::shared_ptr<State>& s) {
    s->acceptor.async_accept([s](const asio::error_code& ec, asio::ip::tcp::socket socket) {
      if (ec) return;
      s->socket = std::move(socket);
      s->sawClose = false;
      ++s->accepted;
      Read(s, s->accepted);
      Accept(s);
    });
  }

  // `serial` ties the read to one accepted connection; a later one replaces it.
  static void Read(const std::shared_ptr<State>& s, int serial) {
    s->socket.async_read_some(asio::buffer(s->buffer),
                              [s, serial](const asio::error_code& ec, size_t n) {
                                if (serial != s->accepted) return;
                                if (ec) {
                                  s->sawClose = true;
                                  return;
                                }
                                const std::string piece(s->buffer.data(), n);
                                s->received += piece;
                                if (s->onData) s->onData(piece);
                                Read(s, serial);
                              });
  }

  std::shared_ptr<State> state_;
};

}  // namespace korvex::testing
