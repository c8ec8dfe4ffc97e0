// A host that costs next to nothing: its socket is always connected, hands the
// control a prepared burst of bytes when asked and forgets what the control
// writes; its timer only records its settings. What a benchmark measures
// against it is the control's own receive path, not a host's event delivery.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "korvex/host.h"
#include "korvex/memory_registry.h"

namespace korvex::bench {

class BurstHost : public Host {
 public:
  // The bytes the next read of the socket takes (not copied: keep them alive).
  std::string_view pending;
  uint64_t bytesWritten = 0;

  std::unique_ptr<Socket> CreateSocket(SocketEvents&) override {
    return std::make_unique<BurstSocket>(*this);
  }
  std::unique_ptr<Timer> CreateTimer(TimerEvents&) override {
    return std::make_unique<IdleTimer>();
  }
  void DoEvents() override {}
  int64_t NowMs() const override { return 0; }
  LocalDateTime LocalNow() const override { return {}; }
  RegistryBackend& Registry() override { return registry_; }

 private:
  class BurstSocket : public Socket {
   public:
    explicit BurstSocket(BurstHost& host) : host_(host) {}
    void SetRemoteHost(const std::string&) override {}
    std::string RemoteHost() const override { return {}; }
    void SetRemotePort(int32_t) override {}
    int32_t RemotePort() const override { return 0; }
    int16_t State() const override { return sckConnected; }
    void Connect() override {}
    void Close() override {}
    void SendData(const std::string& data) override { host_.bytesWritten += data.size(); }
    std::string GetData() override { return std::string(std::exchange(host_.pending, {})); }
    void AppendData(std::string& into) override { into += std::exchange(host_.pending, {}); }

   private:
    BurstHost& host_;
  };

  class IdleTimer : public Timer {
   public:
    bool Enabled() const override { return enabled_; }
    void SetEnabled(bool enabled) override { enabled_ = enabled; }
    int32_t Interval() const override { return interval_; }
    void SetInterval(int32_t ms) override { interval_ = ms; }

   private:
    bool enabled_ = false;
    int32_t interval_ = 0;
  };

  MemoryRegistry registry_;
};

}  // namespace korvex::bench
