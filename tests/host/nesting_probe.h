// A host wrapped so that every socket and timer event passes a counter: how
// many handlers are on the stack at once, in all and of one owner. The
// wrapped host sees one relay per owner, so its yields stay scoped as they
// would be without the probe.
#pragma once

#include <algorithm>
#include <map>
#include <memory>
#include <string>

#include "korvex/host.h"

namespace korvex::testing {

class NestingProbe : public Host {
 public:
  explicit NestingProbe(Host& inner) : inner_(inner) {}

  std::unique_ptr<Socket> CreateSocket(SocketEvents& events) override {
    Relay& relay = RelayOf(OwnerOf(events));
    relay.socket = &events;
    return inner_.CreateSocket(relay);
  }
  std::unique_ptr<Timer> CreateTimer(TimerEvents& events) override {
    Relay& relay = RelayOf(OwnerOf(events));
    relay.timer = &events;
    return inner_.CreateTimer(relay);
  }
  void DoEvents() override { inner_.DoEvents(); }
  void DoEventsOf(const void* owner) override { inner_.DoEventsOf(OwnerOf(RelayOf(owner))); }
  int64_t NowMs() const override { return inner_.NowMs(); }
  LocalDateTime LocalNow() const override { return inner_.LocalNow(); }
  RegistryBackend& Registry() override { return inner_.Registry(); }

  int maxDepth = 0;     // handlers of any owners on the stack at once
  int maxOwnDepth = 0;  // handlers of one owner on the stack at once

 private:
  struct Relay : SocketEvents, TimerEvents {
    explicit Relay(NestingProbe& p) : probe(p) {}
    template <class F>
    void Enter(F handler) {
      probe.maxDepth = std::max(probe.maxDepth, ++probe.depth_);
      probe.maxOwnDepth = std::max(probe.maxOwnDepth, ++depth);
      handler();
      --depth;
      --probe.depth_;
    }
    void OnConnect() override {
      Enter([&] { socket->OnConnect(); });
    }
    void OnClose() override {
      Enter([&] { socket->OnClose(); });
    }
    void OnDataArrival(int32_t n) override {
      Enter([&] { socket->OnDataArrival(n); });
    }
    void OnError(int32_t number, const std::string& text) override {
      Enter([&] { socket->OnError(number, text); });
    }
    void OnTimer() override {
      Enter([&] { timer->OnTimer(); });
    }
    NestingProbe& probe;
    SocketEvents* socket = nullptr;
    TimerEvents* timer = nullptr;
    int depth = 0;
  };

  Relay& RelayOf(const void* owner) {
    auto& relay = relays_[owner];
    if (!relay) relay = std::make_unique<Relay>(*this);
    return *relay;
  }

  Host& inner_;
  std::map<const void*, std::unique_ptr<Relay>> relays_;
  int depth_ = 0;
};

}  // namespace korvex::testing
