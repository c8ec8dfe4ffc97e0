// Back-pressure between the bridge's input and its output. The input reader
// takes a slot for each line before handing it on, and the output writer gives
// the slot back once the line's answer is written. While every slot is taken
// the reader stops reading, so a program that writes calls faster than it
// reads the answers fills its own pipe instead of the bridge's memory.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <mutex>

namespace korvex::cli {

class CallGate {
 public:
  explicit CallGate(size_t slots) : slots_(slots) {}

  // Takes a slot, waiting for one; false, without a slot, once cancelled.
  bool Acquire();
  void Release();
  // Ends every wait, now and later: the bridge is stopping.
  void Cancel();
  // Most slots ever taken at once.
  size_t Peak() const;

 private:
  const size_t slots_;
  mutable std::mutex mutex_;
  std::condition_variable freed_;
  size_t taken_ = 0, peak_ = 0;
  bool cancelled_ = false;
};

}  // namespace korvex::cli
