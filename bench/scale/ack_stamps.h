// Times the link from the pad's side: when the last byte of each pad frame
// (its check byte, after ETX) is handed to the socket, and when the control's
// ACK for it is read from the socket. Both stamps come from one steady clock
// in the pad's process.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace korvex::bench {

// Reply-to-ACK times in microseconds, of every connection of the process.
struct AckTimes {
  std::vector<int64_t> samplesUs;
  uint64_t naks = 0;  // frames the control asked for again
};

class AckStamps {
 public:
  explicit AckStamps(AckTimes& times) : times_(&times) {}

  // Pad frames are STX, text, ETX and one check byte (the pad's replies are
  // never in the download's CRC mode here). `nowUs` is taken just before the
  // bytes go to the socket.
  void Sending(const char* bytes, size_t n, int64_t nowUs) {
    for (size_t i = 0; i < n; ++i) {
      if (afterEtx_) {
        afterEtx_ = false;
        frameEndUs_ = nowUs;
      } else if (bytes[i] == 0x03) {
        afterEtx_ = true;
      }
    }
  }

  // The first ACK after a frame's end answers it; a NAK asks for the frame
  // again, whose new end is timed instead. `nowUs` is taken as soon as the
  // read completes.
  void Received(const char* bytes, size_t n, int64_t nowUs) {
    for (size_t i = 0; i < n && frameEndUs_; ++i) {
      if (bytes[i] == 0x06) times_->samplesUs.push_back(nowUs - *frameEndUs_);
      if (bytes[i] == 0x15) ++times_->naks;
      if (bytes[i] == 0x06 || bytes[i] == 0x15) frameEndUs_.reset();
    }
  }

 private:
  AckTimes* times_;
  bool afterEtx_ = false;
  std::optional<int64_t> frameEndUs_;
};

}  // namespace korvex::bench
