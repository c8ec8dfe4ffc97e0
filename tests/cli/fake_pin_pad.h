// A PIN pad behind a router on 127.0.0.1, on a thread of its own, for tests
// of a separate process: it waits for the router command and the application
// check, then reports the payment application as running.
#pragma once

#include <array>
#include <asio/io_context.hpp>
#include <asio/ip/tcp.hpp>
#include <asio/write.hpp>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

#include "harness/scripted_peer.h"

namespace korvex::testing {

class FakePinPad {
 public:
  FakePinPad() : acceptor_(io_, {asio::ip::make_address("127.0.0.1"), 0}), socket_(io_) {
    port_ = acceptor_.local_endpoint().port();
    acceptor_.async_accept(socket_, [this](const asio::error_code& ec) {
      if (!ec) Read();
    });
    thread_ = std::thread([this] { io_.run(); });
  }
  ~FakePinPad() {
    io_.stop();
    thread_.join();
  }

  int Port() const { return port_; }

  // Whether the connection was made and closed again within `timeout`.
  bool WaitUntilClosed(std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [this] { return closed_; });
  }
  std::string Received() {
    std::lock_guard lock(mutex_);
    return received_;
  }

  static std::string Request() { return "SETCOMM19200,n,8,1  " + WithLrc("P01"); }

 private:
  void Read() {
    socket_.async_read_some(asio::buffer(buffer_), [this](const asio::error_code& ec, size_t n) {
      std::lock_guard lock(mutex_);
      if (ec) {
        closed_ = true;
        changed_.notify_all();
        return;
      }
      received_.append(buffer_.data(), n);
      if (received_ == Request()) {
        asio::error_code ignored;
        asio::write(socket_, asio::buffer(std::string(1, ACK) + WithLrc("P010002")), ignored);
      }
      Read();
    });
  }

  asio::io_context io_;
  asio::ip::tcp::acceptor acceptor_;
  asio::ip::tcp::socket socket_;
  int port_ = 0;
  std::array<char, 1024> buffer_{};
  std::mutex mutex_;
  std::condition_variable changed_;
  std::string received_;
  bool closed_ = false;
  std::thread thread_;
};

}  // namespace korvex::testing
