// The start of each file of a download: the next existing entry of the list
// and its header (type, size, time stamp, name), or the stack setting once the
// list is exhausted.
#include <time.h>

#include <cstdint>
#include <cstdio>
#include <limits>
#include <string>

#include "control/korvex_impl.h"
#include "download/download_messages.h"
#include "support/files.h"
#include "support/windows_compat.h"

namespace korvex {

namespace {

bool EndsWithOut(const std::string& path) {
  if (path.size() < 3) return false;
  std::string tail = path.substr(path.size() - 3);
  for (char& c : tail) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return tail == "out";
}

// The modification time as the PIN pad shows it: local time, YYYYMMDDhhmmss.
std::string LocalTimeStamp(int64_t modified) {
  const auto seconds = static_cast<time_t>(modified);
  struct tm local {};
  localtime_r(&seconds, &local);
  char text[32];
  std::snprintf(text, sizeof text, "%04d%02d%02d%02d%02d%02d", local.tm_year + 1900,
                local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
  return text;
}

// Type ("OC" for the application, "OD" for data), size in 8 upper-case hex
// digits, reserved zeros, time stamp, filler, name.
std::string FileHeader(const std::string& entry, const FileFacts& file) {
  char size[16];
  std::snprintf(size, sizeof size, "%08llX", static_cast<unsigned long long>(file.size));
  return std::string(EndsWithOut(entry) ? "OC" : "OD") + size + "00000000" +
         LocalTimeStamp(file.modified) + "XXXXXXXX" + file.name;
}

}  // namespace

void Korvex::Impl::SendFileHeader() {
  for (;; ++dl.DownloadFileIndex) {
    dl.DownloadProgress = -1;
    if (dl.DownloadFileIndex < 0 ||
        static_cast<size_t>(dl.DownloadFileIndex) >= dl.DownloadFiles.size()) {
      SendDownloadRequest(STATE_DOWNLOAD_STACK_SENT, kStackSetting);
      return;
    }
    const std::string& entry = dl.DownloadFiles[dl.DownloadFileIndex];
    FileFacts file;
    if (entry.empty() || !FindOrdinaryFile(dl.DownloadPath + entry, file)) continue;
    // Sizes and offsets travel as 32-bit values.
    if (file.size > std::numeric_limits<int32_t>::max()) {
      RaiseDebugEvent(8, "Download file too large, skipped: '" + entry + "'");
      continue;
    }
    dl.DownloadOffset = 0;
    dl.DownloadFileSize = static_cast<int32_t>(file.size);
    dl.DownloadFileName = file.name;
    SendDownloadRequest(STATE_DOWNLOAD_HEADER_SENT, FileHeader(entry, file));
    ReportDownloadProgress();
    return;
  }
}

}  // namespace korvex
