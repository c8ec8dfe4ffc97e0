#include "emulator/adapters/stream_pinpad.h"

#include "emulator/adapters/stream_pump.h"

namespace korvex::emu {

struct StreamPinPad::Impl {
  std::shared_ptr<StreamPump<asio::posix::stream_descriptor>> pump;
};

StreamPinPad::StreamPinPad(asio::io_context& io, int fd, Emulator& core, int baud)
    : impl_(std::make_shared<Impl>()), done_(std::make_shared<bool>(false)) {
  ConnectOptions options;
  options.routerFront = false;
  options.baud = baud;
  impl_->pump = std::make_shared<StreamPump<asio::posix::stream_descriptor>>(
      asio::posix::stream_descriptor(io, fd), core, options);
}

StreamPinPad::~StreamPinPad() {
  Stop();
}

void StreamPinPad::Start() {
  auto done = done_;
  impl_->pump->onActivity = [this] {
    if (onActivity) onActivity();
  };
  impl_->pump->onDone = [this, done] {
    *done = true;
    if (onDone) onDone();
  };
  impl_->pump->Start();
}

void StreamPinPad::Stop() {
  if (impl_->pump) {
    impl_->pump->onActivity = nullptr;
    impl_->pump->onDone = nullptr;
    impl_->pump->Stop();
  }
}

}  // namespace korvex::emu
