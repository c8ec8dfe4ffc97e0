#include "bench/scale/shared_tick.h"

#include <chrono>

#include "emulator/adapters/steady_clock_us.h"

namespace korvex::bench {

SharedTick::SharedTick(asio::io_context& io, int64_t tickUs)
    : timer_(io), tickUs_(tickUs > 0 ? tickUs : 1) {}

void SharedTick::Wake(TickClient& client, int phase, int64_t dueUs) {
  // The ticks of a phase lie on one grid, so lines due close together share
  // a tick.
  const int64_t offsetUs = tickUs_ * (phase % kPhases) / kPhases;
  const int64_t atUs = (dueUs - offsetUs + tickUs_ - 1) / tickUs_ * tickUs_ + offsetUs;
  client.wakeSerial_ = ++serial_;
  queue_.push(Entry{atUs, serial_, &client});
  Arm();
}

void SharedTick::Arm() {
  if (queue_.empty()) return;
  const int64_t next = queue_.top().atUs;
  if (armedUs_ >= 0 && armedUs_ <= next) return;
  armedUs_ = next;
  const int64_t waitUs = next - emu::SteadyNowUs();
  timer_.expires_after(std::chrono::microseconds(waitUs > 0 ? waitUs : 0));
  timer_.async_wait([this](std::error_code ec) {
    if (ec) return;
    armedUs_ = -1;
    Fire();
  });
}

// Every client whose tick has come, each once, in the order they fell due.
void SharedTick::Fire() {
  const int64_t nowUs = emu::SteadyNowUs();
  due_.clear();
  while (!queue_.empty() && queue_.top().atUs <= nowUs) {
    const Entry entry = queue_.top();
    queue_.pop();
    if (entry.client->wakeSerial_ != entry.serial) continue;
    entry.client->wakeSerial_ = 0;
    due_.push_back(entry);
  }
  for (const Entry& entry : due_) entry.client->OnTick(nowUs);
  Arm();
}

}  // namespace korvex::bench
