// Progress of a file download, for hosts that show a progress bar. The
// control's events stay as they are; the observer only adds these calls.
#pragma once

#include <cstdint>
#include <string>

namespace korvex {

class DownloadObserver {
 public:
  virtual ~DownloadObserver() = default;
  // After a file's header (BytesSent 0) and after every data block of it.
  virtual void OnDownloadProgress(const std::string& FileName, int64_t BytesSent,
                                  int64_t FileSize) = 0;
};

}  // namespace korvex
