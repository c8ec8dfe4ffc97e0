// The control's socket and timer events pass through here: each runs as an
// entry point, so the stall guard is looked at once the handler returns.
#pragma once

#include <string>

#include "control/korvex_impl.h"

namespace korvex {

class Korvex::Impl::GuardedEvents final : public SocketEvents, public TimerEvents {
 public:
  explicit GuardedEvents(Impl& impl) : impl_(impl) {}

  void OnConnect() override {
    const EntryScope scope(impl_);
    impl_.OnConnect();
  }
  void OnClose() override {
    const EntryScope scope(impl_);
    impl_.OnClose();
  }
  void OnDataArrival(int32_t bytesTotal) override {
    const EntryScope scope(impl_);
    impl_.OnDataArrival(bytesTotal);
  }
  void OnError(int32_t Number, const std::string& Description) override {
    const EntryScope scope(impl_);
    impl_.OnError(Number, Description);
  }
  void OnTimer() override {
    const EntryScope scope(impl_);
    impl_.OnTimer();
  }

 private:
  Impl& impl_;
};

class Korvex::Impl::StallGuardEvents final : public TimerEvents {
 public:
  explicit StallGuardEvents(Impl& impl) : impl_(impl) {}

  void OnTimer() override {
    const EntryScope scope(impl_);
    impl_.OnStallGuard();
  }

 private:
  Impl& impl_;
};

}  // namespace korvex
