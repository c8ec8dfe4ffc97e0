// The emulator's own timers in host-given time: actions due at a microsecond,
// taken in time order (equal times in the order they were scheduled). An
// action may name an owner (a connection); whoever runs it decides whether
// that owner is still there.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

namespace korvex::emu {

class Timeline {
 public:
  using Action = std::function<void()>;
  struct Due {
    int64_t atUs = 0;
    uint64_t owner = 0;  // 0: runs whatever else has gone
    Action action;
  };

  uint64_t At(int64_t atUs, Action action, uint64_t owner = 0);
  void Cancel(uint64_t id);
  std::optional<int64_t> Next() const;
  // The earliest action, taken out, if it is due by nowUs.
  std::optional<Due> TakeDue(int64_t nowUs);
  // No action left, and ids counted from 1 again.
  void Clear();

 private:
  struct Entry {
    Due due;
    uint64_t id = 0;
  };
  uint64_t nextId_ = 1;
  // In the order they are taken. A pad runs a handful of timers at once, so
  // a sorted vector beats a tree, and keeps its room from one run to the next.
  std::vector<Entry> entries_;
};

}  // namespace korvex::emu
