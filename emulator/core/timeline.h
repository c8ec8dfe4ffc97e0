// The emulator's own timers in host-given time: actions due at a microsecond,
// run in time order (equal times in the order they were scheduled).
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <utility>

namespace korvex::emu {

class Timeline {
 public:
  using Action = std::function<void(int64_t atUs)>;

  uint64_t At(int64_t atUs, Action action);
  void Cancel(uint64_t id);
  std::optional<int64_t> Next() const;
  // Runs the earliest action if it is due by nowUs; false when none is.
  bool RunOne(int64_t nowUs);

 private:
  uint64_t nextId_ = 1;
  std::map<std::pair<int64_t, uint64_t>, Action> actions_;
  std::map<uint64_t, int64_t> times_;
};

}  // namespace korvex::emu
