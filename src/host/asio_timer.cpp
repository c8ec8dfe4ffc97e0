#include "host/asio_timer.h"

#include <asio/steady_timer.hpp>
#include <chrono>
#include <utility>

namespace korvex {

namespace {

using Clock = std::chrono::steady_clock;

// State shared with the pending wait and the queued tick, which hold it weakly:
// once the timer is destroyed neither of them does anything.
//
// The control re-arms its reply timer with every message it sends, so a
// re-arm must be cheap: the pending wait is kept when it ends no later than
// the new due time (it then waits again for the rest), and a stop only voids
// what is pending. Only a due time earlier than the pending wait moves it,
// which cancels it. A stopped timer's wait thus still wakes once, for nothing.
struct TimerCore : std::enable_shared_from_this<TimerCore> {
  TimerCore(asio::io_context& io, AsioEventQueue& q, TimerEvents& e, const void* o)
      : timer(io), queue(q), events(e), owner(o) {}

  asio::steady_timer timer;
  AsioEventQueue& queue;
  TimerEvents& events;
  const void* owner;  // whose yield delivers the ticks
  bool enabled = false;
  int32_t interval = 0;
  uint64_t generation = 0;  // bumped by every restart and stop; voids older ticks
  bool tickQueued = false;  // one undelivered tick at most, as a message loop coalesces them
  Clock::time_point due;
  bool waiting = false;  // a wait is pending, for `waitEnd`
  Clock::time_point waitEnd;

  void Restart() {
    Stop();
    if (!enabled || interval < 1) return;
    due = Clock::now() + std::chrono::milliseconds(interval);
    if (!waiting || waitEnd > due) Wait();
  }

  void Stop() {
    ++generation;
    tickQueued = false;
  }

  void Wait() {
    waiting = true;
    waitEnd = due;
    timer.expires_at(due);
    timer.async_wait([weak = weak_from_this()](const asio::error_code& ec) {
      auto self = weak.lock();
      if (ec || !self) return;  // cancelled: a new wait has taken its place
      self->waiting = false;
      self->WaitEnded();
    });
  }

  void WaitEnded() {
    if (!enabled || interval < 1) return;
    if (Clock::now() < due) return Wait();  // re-armed since: wait for the rest
    Expired();
  }

  // In an Asio handler: queue the tick, then wait for the next one. Ticks
  // missed while the loop was busy are skipped rather than fired in a burst.
  void Expired() {
    if (!tickQueued) {
      tickQueued = true;
      queue.Push(owner, [weak = weak_from_this(), gen = generation] {
        auto self = weak.lock();
        if (!self || self->generation != gen || !self->enabled) return;
        self->tickQueued = false;
        self->events.OnTimer();
      });
    }
    const auto period = std::chrono::milliseconds(interval);
    const auto now = Clock::now();
    due += period;
    if (due <= now) due = now + period;
    Wait();
  }
};

class AsioTimer : public Timer {
 public:
  explicit AsioTimer(std::shared_ptr<TimerCore> core) : core_(std::move(core)) {}
  ~AsioTimer() override { core_->Stop(); }

  bool Enabled() const override { return core_->enabled; }
  void SetEnabled(bool enabled) override {
    if (enabled == core_->enabled) return;
    core_->enabled = enabled;
    if (enabled) {
      core_->Restart();
    } else {
      core_->Stop();
    }
  }
  int32_t Interval() const override { return core_->interval; }
  void SetInterval(int32_t ms) override {
    core_->interval = ms;
    if (core_->enabled) core_->Restart();
  }

 private:
  std::shared_ptr<TimerCore> core_;
};

}  // namespace

std::unique_ptr<Timer> MakeAsioTimer(asio::io_context& io, AsioEventQueue& queue,
                                     TimerEvents& events, const void* owner) {
  return std::make_unique<AsioTimer>(std::make_shared<TimerCore>(io, queue, events, owner));
}

}  // namespace korvex
