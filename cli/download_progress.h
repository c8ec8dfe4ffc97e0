// How the demo shows a file download: on a terminal, a bar per file redrawn
// in place as its blocks go out; anywhere else, one plain line per file once
// it has been sent, so that a log or a captured run reads the same each time.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>

#include "korvex/download_observer.h"

namespace korvex::cli {

class DownloadProgress : public DownloadObserver {
 public:
  // terminal: the output is a terminal that honours "\r".
  DownloadProgress(std::ostream& out, bool terminal) : out_(out), terminal_(terminal) {}

  // After a file's header (bytesSent 0) and after every data block of it.
  void OnDownloadProgress(const std::string& fileName, int64_t bytesSent,
                          int64_t fileSize) override;
  // Ends a bar drawn part-way, so that other output starts on a line of its own.
  void BreakLine();

 private:
  std::ostream& out_;
  bool terminal_;
  bool open_ = false;  // a bar stands on the current line without its line end
};

// "  EMVAPP.out           [##########----------]  153600/307200"
std::string ProgressBar(const std::string& fileName, int64_t bytesSent, int64_t fileSize);

}  // namespace korvex::cli
