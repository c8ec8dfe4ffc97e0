// AsioHost: the host on a real network and a real clock.
//
// Sockets are TCP clients and timers steady timers of one io_context. Asio's
// completion handlers never call the control: they queue the event, and the
// host's loop (RunFor, RunUntil, RunOne, DoEvents) delivers it afterwards,
// outside any handler. So a control may yield (DoEvents) from inside any
// socket or timer event without running the io_context from within itself.
//
// Everything except Post and Stop belongs to the thread that runs the loop.
#pragma once

#include <asio/io_context.hpp>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>

#include "korvex/host.h"

namespace korvex {

class AsioEventQueue;

class AsioHost : public Host {
 public:
  AsioHost();
  ~AsioHost() override;
  AsioHost(const AsioHost&) = delete;
  AsioHost& operator=(const AsioHost&) = delete;

  // Host. Sockets and timers must not outlive the host.
  std::unique_ptr<Socket> CreateSocket(SocketEvents& events) override;
  std::unique_ptr<Timer> CreateTimer(TimerEvents& events) override;
  // Runs the handlers that are ready, then delivers the events queued at that
  // point. Safe from inside a delivered event.
  void DoEvents() override;
  // The same for the events of one owner only; posted events wait too. It
  // runs at most a few dozen ready handlers, so its cost does not grow with
  // the number of sockets on the loop.
  void DoEventsOf(const void* owner) override;
  int64_t NowMs() const override;
  LocalDateTime LocalNow() const override;
  RegistryBackend& Registry() override { return *registry_; }
  // Replaces the registry. At first it is the registry export file named by
  // KORVEX_REGISTRY, or the system's registry when the variable is not set
  // (Windows' own; empty elsewhere).
  void SetRegistry(std::unique_ptr<RegistryBackend> registry);

  // The loop. Each call waits for Asio and delivers queued events one at a
  // time until its condition holds, its time is up or Stop is called.
  void RunFor(std::chrono::milliseconds duration);
  // Returns whether `done` holds at the end.
  bool RunUntil(const std::function<bool()>& done, std::chrono::milliseconds max);
  // Delivers one event, waiting up to `maxWait` for it; returns whether it did.
  bool RunOne(std::chrono::milliseconds maxWait);
  // Makes the running loop call (or the next one) return. Any thread.
  void Stop();
  // Queues `event` for delivery by the loop like a socket or timer event. Any
  // thread.
  void Post(std::function<void()> event);
  // Events queued and not yet delivered.
  size_t PendingEvents() const;

  asio::io_context& Context() { return *io_; }

 private:
  using Clock = std::chrono::steady_clock;
  // Delivers one queued event, or else runs one Asio handler; false when the
  // deadline passed or a stop is pending.
  bool Step(Clock::time_point deadline);
  bool RunOneUntil(Clock::time_point deadline);
  bool TakeStop();

  std::unique_ptr<RegistryBackend> registry_;
  std::unique_ptr<AsioEventQueue> queue_;
  std::unique_ptr<asio::io_context> io_;
  struct WorkGuard;
  std::unique_ptr<WorkGuard> work_;  // keeps the loop waiting when nothing is in flight
  std::atomic<bool> stopRequested_{false};
};

}  // namespace korvex
