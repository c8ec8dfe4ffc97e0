#include "emulator/core/timeline.h"

#include <algorithm>

namespace korvex::emu {

uint64_t Timeline::At(int64_t atUs, Action action, uint64_t owner) {
  const uint64_t id = nextId_++;
  // After every entry due at the same time or earlier: ids only grow.
  const auto at = std::upper_bound(entries_.begin(), entries_.end(), atUs,
                                   [](int64_t t, const Entry& e) { return t < e.due.atUs; });
  entries_.insert(at, Entry{Due{atUs, owner, std::move(action)}, id});
  return id;
}

void Timeline::Cancel(uint64_t id) {
  const auto e =
      std::find_if(entries_.begin(), entries_.end(), [id](const Entry& e) { return e.id == id; });
  if (e != entries_.end()) entries_.erase(e);
}

std::optional<int64_t> Timeline::Next() const {
  if (entries_.empty()) return std::nullopt;
  return entries_.front().due.atUs;
}

std::optional<Timeline::Due> Timeline::TakeDue(int64_t nowUs) {
  if (entries_.empty() || entries_.front().due.atUs > nowUs) return std::nullopt;
  Due due = std::move(entries_.front().due);
  entries_.erase(entries_.begin());
  return due;
}

void Timeline::Clear() {
  entries_.clear();
  nextId_ = 1;
}

}  // namespace korvex::emu
