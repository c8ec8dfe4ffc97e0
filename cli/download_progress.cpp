#include "cli/download_progress.h"

#include <algorithm>
#include <cstdio>

namespace korvex::cli {

namespace {

constexpr int kBarCells = 20;
// Wide enough for every name of the download folder's Constant/ files.
constexpr int kNameWidth = 20;

// The observer gets the file's path as the download list holds it, with
// either kind of separator; only the name means anything to the reader.
std::string BaseName(const std::string& path) {
  const size_t slash = path.find_last_of("/\\");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

std::string ProgressBar(const std::string& fileName, int64_t bytesSent, int64_t fileSize) {
  const int64_t sent = std::clamp<int64_t>(bytesSent, 0, std::max<int64_t>(fileSize, 0));
  const int filled = fileSize > 0 ? static_cast<int>(sent * kBarCells / fileSize) : kBarCells;
  char numbers[48];
  std::snprintf(numbers, sizeof numbers, "]  %lld/%lld", static_cast<long long>(bytesSent),
                static_cast<long long>(fileSize));
  std::string name = BaseName(fileName);
  name.resize(std::max<size_t>(name.size(), kNameWidth), ' ');
  return "  " + name + " [" + std::string(filled, '#') + std::string(kBarCells - filled, '-') +
         numbers;
}

void DownloadProgress::OnDownloadProgress(const std::string& fileName, int64_t bytesSent,
                                          int64_t fileSize) {
  const bool done = bytesSent >= fileSize;
  if (terminal_) {
    out_ << '\r' << ProgressBar(fileName, bytesSent, fileSize) << (done ? "\n" : "");
    open_ = !done;
  } else if (done) {
    out_ << "  downloaded " << BaseName(fileName) << " (" << fileSize << " bytes)\n";
  }
  out_.flush();
}

void DownloadProgress::BreakLine() {
  if (open_) out_ << '\n';
  open_ = false;
}

}  // namespace korvex::cli
