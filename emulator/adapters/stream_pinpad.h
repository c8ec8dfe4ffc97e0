// The emulator on a serial device, a pseudo-terminal or any other file
// descriptor: no router in between, the line runs at the given rate, so a
// real router can sit between the control and the emulator.
#pragma once

#include <functional>
#include <memory>

#include <asio.hpp>
#include "emulator/core/emulator.h"

namespace korvex::emu {

class StreamPinPad {
 public:
  // Takes ownership of the descriptor.
  StreamPinPad(asio::io_context& io, int fd, Emulator& core, int baud = kApplicationBaud);
  ~StreamPinPad();

  void Start();
  void Stop();
  bool Done() const { return *done_; }

  std::function<void()> onActivity;
  std::function<void()> onDone;

 private:
  struct Impl;
  std::shared_ptr<Impl> impl_;
  std::shared_ptr<bool> done_;
};

}  // namespace korvex::emu
