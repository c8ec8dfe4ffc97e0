// Everything about the emulator that a scenario or a test may set, apart
// from the pad's own state (PadState).
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "emulator/core/cardholder.h"
#include "emulator/core/fault_rule.h"

namespace korvex::emu {

struct Delays {
  int64_t loaderBootMs = 4000;    // "I07" to the loader reading its line
  int64_t paymentStartMs = 2000;  // "L0302" to P00
  int64_t processingMs = 0;       // ACK to the handling of a request
  // Per request code (the handler's code, e.g. "D04"), replacing processingMs.
  std::map<std::string, int64_t> perMessageMs;
  int64_t ackTimeoutMs = 3000;  // a pad frame unacknowledged this long is resent
};

struct LinkSettings {
  int resendLimit = 3;   // resends of one frame after NAK or ACK timeout
  bool pace = false;     // bytes cross the line at its baud rate
  size_t chunkSize = 0;  // the pad's output cut into pieces of this many bytes
  int64_t chunkGapMs = 0;
  // The router's serial rate when a connection brings no valid command.
  int routerDefaultBaud = 9600;
};

enum class MissingVersion { Status, Empty };

struct ReplySettings {
  std::string addReply = "D04";   // reply code to an EST/MVT add ("D04" request)
  std::string saveReply = "D05";  // reply code to the version save ("D05" request)
  // D03 of a version never saved: a failure status, or "00" with no record.
  MissingVersion missingVersion = MissingVersion::Status;
  std::string missingVersionStatus = "05";
  std::string p01Application = "02";
  // "C22" status for a service code without a chip: "00", or "21" (use the
  // stripe).
  std::string serviceCodeNoChip = "00";
};

struct TableLimits {
  size_t est = 16;
  size_t mvt = 16;
};

// The loader's download mode.
struct DownloadSettings {
  // The block size the download request asks for, sent as decimal text even
  // when out of range; the pad then accepts blocks of up to 248 bytes.
  int64_t blockSize = 248;
  // The download request answers the n-th ENQ of a connection; 0: never.
  int enqAnswerAfter = 1;
  // Largest file the pad takes (its free memory).
  uint32_t maxFileBytes = 16u << 20;
};

struct EmulatorConfig {
  Delays delays;
  LinkSettings link;
  ReplySettings replies;
  TableLimits limits;
  DownloadSettings download;
  Cardholder cardholder;
  // The table update must follow its chain (see the README); off, only the
  // layouts are checked.
  bool strictOrder = true;
  std::vector<FaultRule> faults;
};

}  // namespace korvex::emu
