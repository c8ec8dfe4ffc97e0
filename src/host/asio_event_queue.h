// Events waiting for the host loop. Asio handlers only push here; the loop
// pops and runs each event outside every handler, so an event may yield.
// Owned by the loop thread: no locking.
#pragma once

#include <deque>
#include <functional>
#include <utility>

namespace korvex {

class AsioEventQueue {
 public:
  void Push(std::function<void()> event) { events_.push_back(std::move(event)); }
  size_t Size() const { return events_.size(); }
  bool Empty() const { return events_.empty(); }

  // Runs the oldest event. It leaves the queue first, so a nested delivery
  // from inside it never runs it twice.
  bool DeliverOne() {
    if (events_.empty()) return false;
    std::function<void()> event = std::move(events_.front());
    events_.pop_front();
    event();
    return true;
  }

 private:
  std::deque<std::function<void()>> events_;
};

}  // namespace korvex
