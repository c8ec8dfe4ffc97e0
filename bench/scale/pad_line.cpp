#include "bench/scale/pad_line.h"

#include <asio/buffer.hpp>

#include "emulator/adapters/steady_clock_us.h"

namespace korvex::bench {

PadLine::PadLine(asio::io_context& io, const emu::EmulatorConfig& config,
                 const emu::PadState& state, SharedTick& tick, int phase, AckTimes& times)
    : socket_(io), pad_(config, state), tick_(tick), phase_(phase), stamps_(times) {}

void PadLine::Start(asio::ip::tcp::socket socket) {
  socket_ = std::move(socket);
  std::error_code ignored;
  socket_.set_option(asio::ip::tcp::no_delay(true), ignored);
  socket_.non_blocking(true, ignored);
  const int64_t nowUs = emu::SteadyNowUs();
  pad_.Connect(nowUs);
  Read();
  Flush(nowUs);
}

void PadLine::Read() {
  socket_.async_read_some(asio::buffer(buffer_), [this](std::error_code ec, size_t n) {
    const int64_t nowUs = emu::SteadyNowUs();
    if (closed_) return;
    if (ec) return Close();
    stamps_.Received(buffer_.data(), n, nowUs);
    pad_.Receive(std::string(buffer_.data(), n), nowUs);
    Flush(nowUs);
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
  const int64_t nowUs = emu::SteadyNowUs();
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
