// Events waiting for the host loop. Asio handlers only push here; the loop
// pops and runs each event outside every handler, so an event may yield.
// Owned by the loop thread: no locking.
//
// Each event carries its owner (the control whose socket or timer raised it,
// or none for work posted to the loop). The loop delivers in arrival order; a
// yield of one owner takes that owner's events ahead of the rest, which keep
// their order. Per-owner queues plus one arrival-order list of (owner, number)
// make both O(1): an entry of the list whose event a yield already took is
// skipped.
#pragma once

#include <cstdint>
#include <deque>
#include <unordered_map>
#include <utility>
#include <vector>

#include "host/queued_event.h"

namespace korvex {

class AsioEventQueue {
 public:
  void Push(const void* owner, QueuedEvent event) {
    const uint64_t number = next_++;
    auto q = owners_.find(owner);
    if (q == owners_.end()) q = AddOwner(owner);
    q->second.push_back(Event{number, std::move(event)});
    order_.push_back(Ticket{owner, number});
    ++size_;
  }
  void Push(QueuedEvent event) { Push(nullptr, std::move(event)); }
  size_t Size() const { return size_; }
  bool Empty() const { return size_ == 0; }

  // Runs the oldest event. It leaves the queue first, so a nested delivery
  // from inside it never runs it twice.
  bool DeliverOne() {
    while (!order_.empty()) {
      const Ticket ticket = order_.front();
      order_.pop_front();
      const auto q = owners_.find(ticket.owner);
      // Taken earlier by its owner's yield.
      if (q == owners_.end() || q->second.front().number != ticket.number) continue;
      Run(q);
      return true;
    }
    return false;
  }

  // Runs the oldest event of `owner`; its ticket in the arrival order goes
  // stale and is skipped later.
  bool DeliverOneOf(const void* owner) {
    const auto mine = owners_.find(owner);
    if (mine == owners_.end()) return false;
    Run(mine);
    return true;
  }
  // Events of `owner` waiting now.
  size_t SizeOf(const void* owner) const {
    const auto q = owners_.find(owner);
    return q == owners_.end() ? 0 : q->second.size();
  }

 private:
  struct Event {
    uint64_t number;
    QueuedEvent run;
  };
  struct Ticket {
    const void* owner;
    uint64_t number;
  };
  using Queues = std::unordered_map<const void*, std::deque<Event>>;

  // Owner queues exist only while non-empty, so a finished control leaves
  // nothing behind. An emptied queue's node, with the memory its deque
  // keeps, is put aside for the next owner (up to kSpareQueues of them):
  // with many controls almost every event finds its owner's queue empty, and
  // would otherwise cost a map node and a deque's allocations.
  static constexpr size_t kSpareQueues = 64;

  Queues::iterator AddOwner(const void* owner) {
    if (spares_.empty()) return owners_.try_emplace(owner).first;
    Queues::node_type node = std::move(spares_.back());
    spares_.pop_back();
    node.key() = owner;
    return owners_.insert(std::move(node)).position;
  }

  void Run(Queues::iterator q) {
    QueuedEvent event = std::move(q->second.front().run);
    q->second.pop_front();
    if (q->second.empty()) {
      if (spares_.size() < kSpareQueues) {
        spares_.push_back(owners_.extract(q));
      } else {
        owners_.erase(q);
      }
    }
    --size_;
    event();
  }

  Queues owners_;
  std::vector<Queues::node_type> spares_;
  std::deque<Ticket> order_;
  uint64_t next_ = 1;
  size_t size_ = 0;
};

}  // namespace korvex
