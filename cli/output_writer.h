// The thread that writes the bridge's output lines to a file descriptor. It
// is the only place that can wait on the reader of the output; the control's
// thread only queues lines.
#pragma once

#include <atomic>
#include <functional>
#include <string>
#include <thread>

#include "cli/output_queue.h"

namespace korvex::cli {

class FdLineWriter {
 public:
  // onAnswerWritten: after each answer line (kAnswer) is written or skipped.
  // onFailure: once, on the writer's thread, when a write fails; the lines
  // after it are discarded (their answers still counted).
  FdLineWriter(int fd, OutputQueue& queue, std::function<void()> onAnswerWritten,
               std::function<void()> onFailure);
  ~FdLineWriter() { Finish(); }
  FdLineWriter(const FdLineWriter&) = delete;
  FdLineWriter& operator=(const FdLineWriter&) = delete;

  bool Failed() const { return failed_; }
  // Closes the queue, waits until everything queued is written and returns
  // the write error, or "" when every line was written.
  std::string Finish();

 private:
  void Run();
  bool WriteAll(const std::string& bytes);

  int fd_;
  OutputQueue& queue_;
  std::function<void()> onAnswerWritten_;
  std::function<void()> onFailure_;
  std::atomic<bool> failed_{false};
  std::string error_;  // written by the thread before it ends
  std::thread thread_;
};

}  // namespace korvex::cli
