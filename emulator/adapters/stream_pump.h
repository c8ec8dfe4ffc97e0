// Runs one connection of the emulator over an Asio byte stream (a TCP socket
// or a file descriptor) in real time: reads feed the core, due output is
// written in order, a steady timer wakes the core at its next deadline. When
// the stream ends, or a fault asks for a close, the core is disconnected and
// `onDone` runs.
#pragma once

#include <deque>
#include <functional>
#include <memory>
#include <string>

#include <asio.hpp>
#include "emulator/adapters/steady_clock_us.h"
#include "emulator/core/emulator.h"

namespace korvex::emu {

template <typename Stream>
class StreamPump : public std::enable_shared_from_this<StreamPump<Stream>> {
 public:
  StreamPump(Stream stream, Emulator& core, ConnectOptions options)
      : stream_(std::move(stream)),
        timer_(stream_.get_executor()),
        idle_(stream_.get_executor()),
        core_(core),
        options_(options) {}

  // Called after every batch of work (the executable prints and saves there).
  std::function<void()> onActivity;
  std::function<void()> onDone;
  // A client that reads no unit for this long is dropped (0: never), so that
  // an idle or trickling client cannot hold the pad from the others.
  int64_t idleTimeoutUs = 0;
  std::function<void()> onIdle;

  void Start() {
    core_.Connect(SteadyNowUs(), options_);
    ArmIdle();
    Read();
    Pump();
  }

  // Ends the connection from our side.
  void Stop() { Finish(); }

 private:
  void Read() {
    auto self = this->shared_from_this();
    stream_.async_read_some(asio::buffer(buffer_), [self](std::error_code ec, size_t n) {
      if (self->done_) return;
      if (ec) {
        self->Finish();
        return;
      }
      self->reading_ = false;
      self->core_.Receive(std::string(self->buffer_.data(), n), SteadyNowUs());
      if (self->core_.UnitsRead() != self->unitsSeen_) self->ArmIdle();
      self->Pump();
    });
    reading_ = true;
  }

  // A client that sends faster than the pad reads (a paced line) or than it
  // takes the pad's output is not read until the backlog has drained, so
  // neither grows without bound.
  static constexpr size_t kMaxBacklog = 64 * 1024;
  void ReadWhenRoom() {
    if (reading_ || closing_ || done_) return;
    if (core_.InputBacklog() > kMaxBacklog || writeBytes_ > kMaxBacklog) return;
    Read();
  }

  void Pump() {
    if (done_) return;
    const int64_t nowUs = SteadyNowUs();
    for (auto& piece : core_.TakeOutput(nowUs)) {
      writeBytes_ += piece.size();
      writes_.push_back(std::move(piece));
    }
    if (core_.CloseRequested()) closing_ = true;
    Write();
    ReadWhenRoom();
    ArmTimer(nowUs);
    if (onActivity) onActivity();
  }

  void Write() {
    if (writing_ || done_) return;
    if (writes_.empty()) {
      if (closing_) Finish();
      return;
    }
    writing_ = true;
    auto self = this->shared_from_this();
    asio::async_write(stream_, asio::buffer(writes_.front()), [self](std::error_code ec, size_t) {
      self->writing_ = false;
      if (self->done_) return;
      if (ec) {
        self->Finish();
        return;
      }
      self->writeBytes_ -= self->writes_.front().size();
      self->writes_.pop_front();
      self->Write();
      self->ReadWhenRoom();
    });
  }

  void ArmTimer(int64_t nowUs) {
    const auto next = core_.NextDeadline();
    if (!next) {
      timer_.cancel();
      return;
    }
    timer_.expires_after(std::chrono::microseconds(std::max<int64_t>(0, *next - nowUs)));
    auto self = this->shared_from_this();
    timer_.async_wait([self](std::error_code ec) {
      if (ec || self->done_) return;
      self->core_.Poll(SteadyNowUs());
      self->Pump();
    });
  }

  void ArmIdle() {
    unitsSeen_ = core_.UnitsRead();
    if (idleTimeoutUs <= 0) return;
    idle_.expires_after(std::chrono::microseconds(idleTimeoutUs));
    auto self = this->shared_from_this();
    idle_.async_wait([self](std::error_code ec) {
      if (ec || self->done_) return;
      if (self->onIdle) self->onIdle();
      self->Finish();
    });
  }

  void Finish() {
    if (done_) return;
    done_ = true;
    timer_.cancel();
    idle_.cancel();
    std::error_code ignored;
    stream_.close(ignored);
    core_.Disconnect(SteadyNowUs());
    if (onActivity) onActivity();
    if (onDone) onDone();
  }

  Stream stream_;
  asio::steady_timer timer_;
  asio::steady_timer idle_;
  uint64_t unitsSeen_ = 0;
  Emulator& core_;
  ConnectOptions options_;
  std::array<char, 4096> buffer_{};
  std::deque<std::string> writes_;
  size_t writeBytes_ = 0;
  bool reading_ = false;
  bool writing_ = false;
  bool closing_ = false;
  bool done_ = false;
};

}  // namespace korvex::emu
