#include "emulator/core/timeline.h"

namespace korvex::emu {

uint64_t Timeline::At(int64_t atUs, Action action) {
  const uint64_t id = nextId_++;
  actions_.emplace(std::make_pair(atUs, id), std::move(action));
  times_[id] = atUs;
  return id;
}

void Timeline::Cancel(uint64_t id) {
  const auto t = times_.find(id);
  if (t == times_.end()) return;
  actions_.erase(std::make_pair(t->second, id));
  times_.erase(t);
}

std::optional<int64_t> Timeline::Next() const {
  if (actions_.empty()) return std::nullopt;
  return actions_.begin()->first.first;
}

bool Timeline::RunOne(int64_t nowUs) {
  if (actions_.empty() || actions_.begin()->first.first > nowUs) return false;
  auto first = actions_.begin();
  const int64_t at = first->first.first;
  Action action = std::move(first->second);
  times_.erase(first->first.second);
  actions_.erase(first);
  action(at);
  return true;
}

}  // namespace korvex::emu
