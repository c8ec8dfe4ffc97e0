#include "cli/output_writer.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace korvex::cli {

FdLineWriter::FdLineWriter(int fd, OutputQueue& queue, std::function<void()> onAnswerWritten,
                           std::function<void()> onFailure)
    : fd_(fd),
      queue_(queue),
      onAnswerWritten_(std::move(onAnswerWritten)),
      onFailure_(std::move(onFailure)) {
  thread_ = std::thread([this] { Run(); });
}

std::string FdLineWriter::Finish() {
  queue_.Close();
  if (thread_.joinable()) thread_.join();
  return error_;
}

void FdLineWriter::Run() {
  while (std::optional<OutputLine> line = queue_.Pop()) {
    if (!failed_ && !line->text.empty() && !WriteAll(line->text + '\n')) {
      error_ = std::strerror(errno);
      failed_ = true;
      onFailure_();
    }
    if (line->kind == LineKind::kAnswer) onAnswerWritten_();
  }
}

bool FdLineWriter::WriteAll(const std::string& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (n == 0) errno = EIO;
      return false;
    }
    done += size_t(n);
  }
  return true;
}

}  // namespace korvex::cli
