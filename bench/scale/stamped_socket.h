// A pad's TCP connection that times the link from the pad's side: when the
// last byte of each pad frame (its check byte, after ETX) is handed to the
// socket, and when the control's ACK for it arrives. Both stamps come from
// one steady clock in the pad's process.
#pragma once

#include <asio/buffer.hpp>
#include <asio/ip/tcp.hpp>
#include <chrono>
#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

namespace korvex::bench {

// Reply-to-ACK times in microseconds, of every connection of the process.
struct AckTimes {
  std::vector<int64_t> samplesUs;
};

class StampedSocket {
 public:
  using executor_type = asio::ip::tcp::socket::executor_type;

  StampedSocket(asio::ip::tcp::socket socket, AckTimes& times)
      : socket_(std::move(socket)), times_(&times) {}

  executor_type get_executor() { return socket_.get_executor(); }
  void close(std::error_code& ec) { socket_.close(ec); }

  template <class Buffers, class Handler>
  void async_read_some(const Buffers& buffers, Handler&& handler) {
    socket_.async_read_some(buffers, [this, buffers, h = std::forward<Handler>(handler)](
                                         std::error_code ec, size_t n) mutable {
      if (!ec) Received(asio::buffer(buffers, n));
      h(ec, n);
    });
  }

  template <class Buffers, class Handler>
  void async_write_some(const Buffers& buffers, Handler&& handler) {
    Sending(buffers);
    socket_.async_write_some(buffers, std::forward<Handler>(handler));
  }

 private:
  static int64_t NowUs() {
    using namespace std::chrono;
    return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
  }

  // Pad frames are STX, text, ETX and one check byte (the pad's replies are
  // never in the download's CRC mode here).
  template <class Buffers>
  void Sending(const Buffers& buffers) {
    for (auto b = asio::buffer_sequence_begin(buffers); b != asio::buffer_sequence_end(buffers);
         ++b) {
      const auto* bytes = static_cast<const unsigned char*>(asio::const_buffer(*b).data());
      for (size_t i = 0; i < asio::const_buffer(*b).size(); ++i) {
        if (afterEtx_) {
          afterEtx_ = false;
          frameEndUs_ = NowUs();
        } else if (bytes[i] == 0x03) {
          afterEtx_ = true;
        }
      }
    }
  }

  // The first ACK after a frame's end answers it; a NAK asks for the frame
  // again, whose new end is timed instead.
  void Received(const asio::mutable_buffer& buffer) {
    const auto* bytes = static_cast<const unsigned char*>(buffer.data());
    for (size_t i = 0; i < buffer.size() && frameEndUs_; ++i) {
      if (bytes[i] == 0x06) times_->samplesUs.push_back(NowUs() - *frameEndUs_);
      if (bytes[i] == 0x06 || bytes[i] == 0x15) frameEndUs_.reset();
    }
  }

  asio::ip::tcp::socket socket_;
  AckTimes* times_;
  bool afterEtx_ = false;
  std::optional<int64_t> frameEndUs_;
};

}  // namespace korvex::bench
