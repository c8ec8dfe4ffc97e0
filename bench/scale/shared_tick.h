// One timer for all the paced lines of a process. A line asks to be woken at
// the time its next byte is due; the timer runs on a fixed grid of ticks, and
// every line due by a tick is served in that tick, so a process with many
// lines makes one timer wait per tick rather than one per line and byte. A
// line is never woken before the time it asked for, only up to one tick late.
// Lines are spread over a few phases of the tick, so that the pads' frames do
// not all end at the same moments, as they would not on real lines.
#pragma once

#include <asio/io_context.hpp>
#include <asio/steady_timer.hpp>
#include <cstdint>
#include <functional>
#include <queue>
#include <vector>

namespace korvex::bench {

class TickClient {
 public:
  virtual ~TickClient() = default;
  // Called at a tick at or after the time of the client's last Wake.
  virtual void OnTick(int64_t nowUs) = 0;

 private:
  friend class SharedTick;
  uint64_t wakeSerial_ = 0;  // of the client's latest Wake; 0: none pending
};

class SharedTick {
 public:
  SharedTick(asio::io_context& io, int64_t tickUs);

  int64_t TickUs() const { return tickUs_; }
  static constexpr int kPhases = 8;
  // Wakes `client` at the first tick of its phase (0 to kPhases - 1) at or
  // after dueUs; a later Wake of the same client replaces this one. The
  // client must outlive the timer.
  void Wake(TickClient& client, int phase, int64_t dueUs);

 private:
  struct Entry {
    int64_t atUs;
    uint64_t serial;  // tells an entry replaced by a later Wake
    TickClient* client;
    bool operator>(const Entry& other) const { return atUs > other.atUs; }
  };
  void Arm();
  void Fire();

  asio::steady_timer timer_;
  int64_t tickUs_;
  std::priority_queue<Entry, std::vector<Entry>, std::greater<Entry>> queue_;
  std::vector<Entry> due_;
  uint64_t serial_ = 0;
  int64_t armedUs_ = -1;  // the tick the timer waits for; -1: none
};

}  // namespace korvex::bench
