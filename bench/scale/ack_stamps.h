// Times the link from the pad's side: from the moment the pad writes the last
// byte of each pad frame (its check byte, after ETX) to its socket, to the
// moment the control's ACK for it reached the pad's socket, as the kernel
// stamped its arrival; and, for comparison, to the moment the pad's process
// read it. All three stamps are on CLOCK_REALTIME, the clock of the kernel's
// receive stamps.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace korvex::bench {

// Reply-to-ACK times in microseconds, of every connection of the process.
struct AckTimes {
  std::vector<int64_t> arrivalUs;  // to the ACK's arrival at the pad's socket
  std::vector<int64_t> readUs;     // to the pad's process reading it
  uint64_t naks = 0;               // frames the control asked for again
  uint64_t unstamped = 0;          // ACKs that came without a kernel stamp
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
  // again, whose new end is timed instead. `kernelUs` is the kernel's receive
  // stamp of the read (its last segment; -1 if none came), `readUs` the time
  // the read completed.
  void Received(const char* bytes, size_t n, int64_t kernelUs, int64_t readUs) {
    for (size_t i = 0; i < n && frameEndUs_; ++i) {
      if (bytes[i] == 0x06) {
        times_->readUs.push_back(readUs - *frameEndUs_);
        if (kernelUs < 0) {
          ++times_->unstamped;
        } else {
          times_->arrivalUs.push_back(kernelUs - *frameEndUs_);
        }
      }
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
