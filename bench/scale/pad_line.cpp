#include "bench/scale/pad_line.h"

#include <asio/buffer.hpp>

#include "bench/scale/stamped_socket.h"
#include "emulator/adapters/steady_clock_us.h"

namespace korvex::bench {

PadLine::PadLine(asio::io_context& io, const emu::EmulatorConfig& config,
                 const emu::PadState& state, SharedTick& tick, int phase, AckTimes& times)
    : socket_(io), pad_(config, state), tick_(tick), phase_(phase), stamps_(times) {
  // Nobody reads it here, and building it is most of a pad's work per unit.
  pad_.GetTranscript().enabled = false;
}

void PadLine::Start(asio::ip::tcp::socket socket) {
  socket_ = std::move(socket);
  std::error_code ignored;
  socket_.set_option(asio::ip::tcp::no_delay(true), ignored);
  socket_.non_blocking(true, ignored);
  // Refused, every ACK counts as unstamped and the report says so.
  EnableReceiveStamps(socket_.native_handle());
  const int64_t nowUs = emu::SteadyNowUs();
  pad_.Connect(nowUs);
  Read();
  Flush(nowUs);
}

// Waits for the socket to have data, then reads all there is, each read with
// the kernel's stamp of its arrival.
void PadLine::Read() {
  socket_.async_wait(asio::socket_base::wait_read, [this](std::error_code ec) {
    if (closed_) return;
    if (ec) return Close();
    for (;;) {
      const StampedRead read = ReadStamped(socket_.native_handle(), buffer_.data(), buffer_.size());
      if (read.n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) break;
      if (read.n <= 0) return Close();
      const size_t n = static_cast<size_t>(read.n);
      stamps_.Received(buffer_.data(), n, read.kernelUs, RealtimeNowUs());
      const int64_t nowUs = emu::SteadyNowUs();
      pad_.Receive(std::string(buffer_.data(), n), nowUs);
      Flush(nowUs);
      if (closed_) return;
    }
    Read();
  });
}

void PadLine::OnTick(int64_t nowUs) {
  if (!closed_) Flush(nowUs);
}

void PadLine::Flush(int64_t nowUs) {
  for (const std::string& piece : pad_.TakeOutput(nowUs)) unsent_ += piece;
  Send();
  if (pad_.CloseRequested()) return Close();
  if (const auto next = pad_.NextDeadline()) tick_.Wake(*this, phase_, *next);
}

// One write for everything due; what the socket cannot take now goes when it
// can, still ahead of anything due later.
void PadLine::Send() {
  if (unsent_.empty() || waitingToSend_ || closed_) return;
  const int64_t nowUs = RealtimeNowUs();
  std::error_code ec;
  const size_t sent = socket_.write_some(asio::buffer(unsent_), ec);
  if (ec && ec != asio::error::would_block) return Close();
  stamps_.Sending(unsent_.data(), sent, nowUs);
  unsent_.erase(0, sent);
  if (unsent_.empty()) return;
  waitingToSend_ = true;
  socket_.async_wait(asio::socket_base::wait_write, [this](std::error_code wait) {
    waitingToSend_ = false;
    if (wait) return Close();
    Send();
  });
}

void PadLine::Close() {
  if (closed_) return;
  closed_ = true;
  std::error_code ignored;
  socket_.close(ignored);
  pad_.Disconnect(emu::SteadyNowUs());
}

}  // namespace korvex::bench
