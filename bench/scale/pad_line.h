// One emulated pad on one accepted TCP connection, paced at the pad's baud
// rate through the process's shared tick: at each tick it is woken for, the
// pad takes the bytes that have arrived by then and every byte whose wire time
// has come goes out in one write. Reads are not tied to the tick, and each
// carries the kernel's stamp of its arrival, so the control's ACK is timed
// when it reached the pad's socket, not when the pad came to read it.
#pragma once

#include <array>
#include <asio/ip/tcp.hpp>
#include <cstdint>
#include <string>

#include "bench/scale/ack_stamps.h"
#include "bench/scale/shared_tick.h"
#include "emulator/core/emulator.h"

namespace korvex::bench {

class PadLine : public TickClient {
 public:
  // The pad is powered on here; its connection comes with Start.
  PadLine(asio::io_context& io, const emu::EmulatorConfig& config, const emu::PadState& state,
          SharedTick& tick, int phase, AckTimes& times);

  void Start(asio::ip::tcp::socket socket);
  const emu::Emulator& Pad() const { return pad_; }

  void OnTick(int64_t nowUs) override;

 private:
  void Read();
  // Sends what is due by nowUs and asks to be woken for what comes next.
  void Flush(int64_t nowUs);
  void Send();
  void Close();

  asio::ip::tcp::socket socket_;
  emu::Emulator pad_;
  SharedTick& tick_;
  int phase_;
  AckStamps stamps_;
  std::array<char, 2048> buffer_{};
  std::string unsent_;  // due bytes the socket has not taken yet
  bool waitingToSend_ = false;
  bool closed_ = false;
};

}  // namespace korvex::bench
