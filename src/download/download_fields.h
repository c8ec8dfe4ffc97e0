// What the control keeps of a file download: the folder and the list of files
// to send, and where the transfer stands in the file being sent.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace korvex {

struct DownloadFields {
  std::string DownloadPath;                // folder prefix, ends with a separator unless ""
  std::vector<std::string> DownloadFiles;  // paths below DownloadPath; 0 unused, "" skipped
  int16_t DownloadFileIndex = 0;           // entry being sent
  int32_t DownloadFileSize = 0;            // its size in bytes
  int32_t DownloadOffset = 0;              // its bytes sent so far
  int16_t DownloadProgress = -1;           // tenth last shown on the display; -1 none yet
  int32_t DownloadBlockSize = 248;         // most data bytes per block
  std::string DownloadFileName;            // its name on disk, as sent in the header
};

}  // namespace korvex
