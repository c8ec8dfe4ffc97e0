#include "cli/output_queue.h"

#include <algorithm>

namespace korvex::cli {

std::string DropNotice(size_t count) {
  return R"({"dropped":"DebugEvent","count":)" + std::to_string(count) + "}";
}

void OutputQueue::Push(std::string text, LineKind kind) {
  {
    std::lock_guard lock(mutex_);
    if (closed_) return;
    const bool behind = counters_.queuedBytes >= debugBacklog_;
    if (kind == LineKind::kDebug && behind) {
      ++droppedUnreported_;
      ++counters_.dropped;
      return;
    }
    if (!behind) EnqueueDropNotice();
    Enqueue(std::move(text), kind);
  }
  ready_.notify_one();
}

std::optional<OutputLine> OutputQueue::Pop() {
  std::unique_lock lock(mutex_);
  ready_.wait(lock, [&] { return closed_ || !lines_.empty(); });
  if (lines_.empty()) return std::nullopt;
  OutputLine line = std::move(lines_.front());
  lines_.pop_front();
  counters_.queuedBytes -= line.text.size() + 1;
  return line;
}

void OutputQueue::Close() {
  {
    std::lock_guard lock(mutex_);
    EnqueueDropNotice();
    closed_ = true;
  }
  ready_.notify_all();
}

OutputQueue::Counters OutputQueue::Count() const {
  std::lock_guard lock(mutex_);
  return counters_;
}

void OutputQueue::Enqueue(std::string text, LineKind kind) {
  counters_.queuedBytes += text.size() + 1;
  counters_.peakBytes = std::max(counters_.peakBytes, counters_.queuedBytes);
  lines_.push_back({std::move(text), kind});
}

void OutputQueue::EnqueueDropNotice() {
  if (droppedUnreported_ == 0) return;
  Enqueue(DropNotice(droppedUnreported_), LineKind::kEvent);
  droppedUnreported_ = 0;
}

}  // namespace korvex::cli
