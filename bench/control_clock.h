// Time spent inside the control, apart from the simulated PIN pad and host it
// runs against. ClockedHost stands between the control and a SimHost: every
// socket and timer event the control receives, and every public call made
// through Measure, is clocked, while the host's own DoEvents (which may run
// the emulator) is not. Nesting is handled by switching a single stopwatch
// between "in the control" and "elsewhere".
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "korvex/host.h"
#include "korvex/sim_host.h"

namespace korvex::bench {

class ControlClock {
 public:
  using Clock = std::chrono::steady_clock;

  // Runs fn with the stopwatch in the given position, restoring it after.
  template <typename Fn>
  decltype(auto) Within(bool inControl, Fn&& fn) {
    const bool before = inControl_;
    Switch(inControl);
    struct Restore {
      ControlClock& c;
      bool before;
      ~Restore() { c.Switch(before); }
    } restore{*this, before};
    return std::forward<Fn>(fn)();
  }
  template <typename Fn>
  decltype(auto) Measure(Fn&& fn) {
    return Within(true, std::forward<Fn>(fn));
  }

  std::chrono::nanoseconds Spent() const { return spent_; }
  void Reset() { spent_ = {}; }

 private:
  void Switch(bool inControl) {
    const auto now = Clock::now();
    if (inControl_) spent_ += now - since_;
    inControl_ = inControl;
    since_ = now;
  }

  bool inControl_ = false;
  Clock::time_point since_ = Clock::now();
  std::chrono::nanoseconds spent_{0};
};

class ClockedHost : public Host {
 public:
  ClockedHost(SimHost& host, ControlClock& clock) : host_(host), clock_(clock) {}

  // The socket and timer the control gets are clocked too, the other way
  // round: their own work belongs to the host.
  std::unique_ptr<Socket> CreateSocket(SocketEvents& events) override {
    sockets_.push_back(std::make_unique<SocketProxy>(events, clock_));
    return std::make_unique<HostSocket>(host_.CreateSocket(*sockets_.back()), clock_);
  }
  std::unique_ptr<Timer> CreateTimer(TimerEvents& events) override {
    timers_.push_back(std::make_unique<TimerProxy>(events, clock_));
    return std::make_unique<HostTimer>(host_.CreateTimer(*timers_.back()), clock_);
  }
  void DoEvents() override {
    clock_.Within(false, [&] { host_.DoEvents(); });
  }
  int64_t NowMs() const override { return host_.NowMs(); }
  LocalDateTime LocalNow() const override { return host_.LocalNow(); }
  RegistryBackend& Registry() override { return host_.Registry(); }

 private:
  struct SocketProxy : SocketEvents {
    SocketProxy(SocketEvents& e, ControlClock& c) : events(e), clock(c) {}
    void OnConnect() override {
      clock.Measure([&] { events.OnConnect(); });
    }
    void OnClose() override {
      clock.Measure([&] { events.OnClose(); });
    }
    void OnDataArrival(int32_t n) override {
      ++arrivals;
      clock.Measure([&] { events.OnDataArrival(n); });
    }
    void OnError(int32_t number, const std::string& text) override {
      clock.Measure([&] { events.OnError(number, text); });
    }
    SocketEvents& events;
    ControlClock& clock;
    int64_t arrivals = 0;
  };
  struct TimerProxy : TimerEvents {
    TimerProxy(TimerEvents& e, ControlClock& c) : events(e), clock(c) {}
    void OnTimer() override {
      clock.Measure([&] { events.OnTimer(); });
    }
    TimerEvents& events;
    ControlClock& clock;
  };

  class HostSocket : public Socket {
   public:
    HostSocket(std::unique_ptr<Socket> s, ControlClock& c) : s_(std::move(s)), c_(c) {}
    void SetRemoteHost(const std::string& h) override { s_->SetRemoteHost(h); }
    std::string RemoteHost() const override { return s_->RemoteHost(); }
    void SetRemotePort(int32_t p) override { s_->SetRemotePort(p); }
    int32_t RemotePort() const override { return s_->RemotePort(); }
    int16_t State() const override { return s_->State(); }
    void Connect() override {
      c_.Within(false, [&] { s_->Connect(); });
    }
    void Close() override {
      c_.Within(false, [&] { s_->Close(); });
    }
    void SendData(const std::string& d) override {
      c_.Within(false, [&] { s_->SendData(d); });
    }
    std::string GetData() override {
      return c_.Within(false, [&] { return s_->GetData(); });
    }

   private:
    std::unique_ptr<Socket> s_;
    ControlClock& c_;
  };
  class HostTimer : public Timer {
   public:
    HostTimer(std::unique_ptr<Timer> t, ControlClock& c) : t_(std::move(t)), c_(c) {}
    bool Enabled() const override { return t_->Enabled(); }
    void SetEnabled(bool e) override {
      c_.Within(false, [&] { t_->SetEnabled(e); });
    }
    int32_t Interval() const override { return t_->Interval(); }
    void SetInterval(int32_t ms) override {
      c_.Within(false, [&] { t_->SetInterval(ms); });
    }

   private:
    std::unique_ptr<Timer> t_;
    ControlClock& c_;
  };

  SimHost& host_;
  ControlClock& clock_;
  std::vector<std::unique_ptr<SocketProxy>> sockets_;
  std::vector<std::unique_ptr<TimerProxy>> timers_;
};

}  // namespace korvex::bench
