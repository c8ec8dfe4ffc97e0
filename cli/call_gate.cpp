#include "cli/call_gate.h"

#include <algorithm>

namespace korvex::cli {

bool CallGate::Acquire() {
  std::unique_lock lock(mutex_);
  freed_.wait(lock, [&] { return cancelled_ || taken_ < slots_; });
  if (cancelled_) return false;
  peak_ = std::max(peak_, ++taken_);
  return true;
}

void CallGate::Release() {
  {
    std::lock_guard lock(mutex_);
    if (taken_ > 0) --taken_;
  }
  freed_.notify_one();
}

void CallGate::Cancel() {
  {
    std::lock_guard lock(mutex_);
    cancelled_ = true;
  }
  freed_.notify_all();
}

size_t CallGate::Peak() const {
  std::lock_guard lock(mutex_);
  return peak_;
}

}  // namespace korvex::cli
