// How far the file transfer of download mode has come on one connection: the
// ENQs counted before the download request, the step reached, the file under
// way and the files complete so far. A new connection starts afresh; the
// files reach the pad only when the control ends the transfer with EOT.
#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "emulator/core/pin_pad.h"

namespace korvex::emu {

enum class TransferStep : uint8_t {
  AwaitingEnq,  // no download request sent yet
  Requested,    // the download request ("VFI") sent
  GroupSet,     // the group set-up taken
  NextFile,     // a next-file message taken: a header or the stack setting follows
  File,         // a file header taken: its blocks follow
  Stack,        // the stack setting taken
  Heap,         // the heap setting taken
  Closed,       // the closing command taken: EOT follows
};

struct DownloadTransfer {
  int enqs = 0;
  TransferStep step = TransferStep::AwaitingEnq;
  int64_t blockLimit = 0;                      // most data bytes per block, fixed by the request
  std::string fileName;                        // the file under way (step File)
  StoredFile file;                             // its header's fields and the bytes so far
  std::map<std::string, StoredFile> received;  // complete files, by name
  std::string display;                         // the last display text

  bool FileComplete() const { return file.data.size() == file.size; }
};

}  // namespace korvex::emu
