// The host bridge's output lines on their way to the writer thread. Pushing
// never waits, so the control raising an event keeps time with the PIN pad
// whatever the program reading the output does.
//
// Only DebugEvents are ever dropped: once the lines waiting hold more than
// the backlog bound, further DebugEvents are counted instead of queued, and
// one notice line with the count takes their place when there is room again.
// Answers and InterfaceEvents are always kept; their number is bounded by the
// input's back-pressure (see CallGate).
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <optional>
#include <string>

namespace korvex::cli {

enum class LineKind {
  kAnswer,  // the return or error for one input line: frees its call slot once written
  kEvent,   // an InterfaceEvent or the notice of dropped DebugEvents: never dropped
  kDebug,   // a DebugEvent: dropped while the backlog is over its bound
};

struct OutputLine {
  std::string text;  // without '\n'; empty for an input line that needs no answer
  LineKind kind;
};

class OutputQueue {
 public:
  explicit OutputQueue(size_t debugBacklogBytes) : debugBacklog_(debugBacklogBytes) {}

  // Never waits; a DebugEvent may be dropped (counted).
  void Push(std::string text, LineKind kind);
  // The next line, waiting for one; nothing once closed and emptied.
  std::optional<OutputLine> Pop();
  // No line follows; the notice of any DebugEvents still uncounted is queued.
  void Close();

  struct Counters {
    size_t queuedBytes = 0;  // bytes waiting now
    size_t peakBytes = 0;    // most bytes ever waiting
    size_t dropped = 0;      // DebugEvents dropped in all
  };
  Counters Count() const;

 private:
  void Enqueue(std::string text, LineKind kind);
  void EnqueueDropNotice();

  const size_t debugBacklog_;
  mutable std::mutex mutex_;
  std::condition_variable ready_;
  std::deque<OutputLine> lines_;
  Counters counters_;
  size_t droppedUnreported_ = 0;
  bool closed_ = false;
};

// The notice that takes the place of `count` dropped DebugEvents.
std::string DropNotice(size_t count);

}  // namespace korvex::cli
