// The file transfer to the PIN pad's loader: every message goes out with a
// CRC-16 and waits for the loader's ACK, which runs the next step. A file goes
// out as its header, the empty progress bar, then blocks, each new tenth of
// progress shown before the next block, the full bar and the next-file message.
#include <algorithm>
#include <string>

#include "control/korvex_impl.h"
#include "download/download_messages.h"
#include "link/framing.h"
#include "support/conversions.h"
#include "support/files.h"

namespace korvex {

namespace {

// p stars then 10 - p dashes.
std::string ProgressBar(int16_t tenths) {
  return std::string(tenths, '*') + std::string(10 - tenths, '-');
}

// STX, "W", length and offset most significant byte first, the data; no ETX,
// so the data may hold any byte.
std::string DataBlock(int32_t offset, const std::string& data) {
  const auto length = static_cast<int16_t>(static_cast<uint16_t>(data.size()));
  return std::string(1, STX) + "W" + ReverseString(IntToBytes(length)) +
         ReverseString(LongToBytes(offset)) + data;
}

}  // namespace

void Korvex::Impl::SendDownloadRequest(int16_t State, const std::string& Text) {
  fState = State;
  SendMessage(Framed(Text), 3000, 2);
}

void Korvex::Impl::SendDownloadDisplay(int16_t State, const std::string& Text) {
  SendDownloadRequest(State, "M" + Text);
}

void Korvex::Impl::SendFileBlock() {
  if (dl.DownloadFileSize == 0) {
    SendDownloadRequest(STATE_DOWNLOAD_NEXT_FILE, kNextFile);
    return;
  }
  const auto tenths = static_cast<int16_t>(int64_t{dl.DownloadOffset} * 10 / dl.DownloadFileSize);
  if (tenths != dl.DownloadProgress) {
    dl.DownloadProgress = tenths;
    SendDownloadDisplay(STATE_DOWNLOAD_PROGRESS_SHOWN, ProgressBar(tenths));
    return;
  }
  const int32_t count = std::min(dl.DownloadFileSize - dl.DownloadOffset, dl.DownloadBlockSize);
  if (count <= 0) {
    SendDownloadRequest(STATE_DOWNLOAD_NEXT_FILE, kNextFile);
    return;
  }

  // One block in memory at a time, read when the loader is ready for it.
  fState = STATE_DOWNLOAD_BLOCK_SENT;
  std::string data;
  if (!ReadDownloadBlock(count, data)) return;  // the reply timer ends the download
  const std::string block = DataBlock(dl.DownloadOffset, data);
  dl.DownloadOffset += count;
  SendMessage(block, 3000, 2);
  ReportDownloadProgress();
}

bool Korvex::Impl::ReadDownloadBlock(int32_t Count, std::string& Data) {
  // The host may have prepared a shorter list meanwhile: then nothing is read.
  const bool listed = dl.DownloadFileIndex >= 0 &&
                      static_cast<size_t>(dl.DownloadFileIndex) < dl.DownloadFiles.size();
  const std::string entry = listed ? dl.DownloadFiles[dl.DownloadFileIndex] : std::string();
  std::string error;
  const int16_t status =
      ReadFilePart(dl.DownloadPath + entry, dl.DownloadOffset + 1, Count, Data, error);
  if (status == 0 && Data.size() == static_cast<size_t>(Count)) return true;
  RaiseDebugEvent(
      8, "Download read failed at offset " + std::to_string(dl.DownloadOffset) + " of '" + entry +
             "': " + (status != 0 ? error : std::string("file shorter than its header")));
  return false;
}

// The closing command is acknowledged: back to LRC frames, the loader is let
// go, and the control reconnects to start the downloaded application.
void Korvex::Impl::FinishDownload() {
  ChecksumMode = 1;
  SendMessage(std::string(1, EOT), 3000, 0);
  DoEvents();
  Winsock1->Close();
  DoEvents();
  CleanDownloadFolder();
  RaiseDebugEvent(10,
                  "Allalaadimine on l\xF5pule viidud! V\xF5tan \xFChendust Pin Klaviatuuriga...");
  ConnectRouter(STATE_CONNECT_AFTER_DOWNLOAD);
}

void Korvex::Impl::ReportDownloadProgress() {
  if (downloadObserver == nullptr) return;
  downloadObserver->OnDownloadProgress(dl.DownloadFileName, dl.DownloadOffset, dl.DownloadFileSize);
}

}  // namespace korvex
