// The PIN pad's reading of the byte stream from the control: single ACK, NAK,
// ENQ and EOT characters, and STX ... ETX frames followed by their block check.
// In CRC mode a frame whose text starts with "W" is a download data block: it
// carries a 2-byte length and a 4-byte offset and no ETX, so its end is found
// by length. Anything else is garbage up to the next recognised character.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "emulator/core/check_mode.h"

namespace korvex::emu {

struct WireUnit {
  enum Kind { Ack, Nak, Enq, Eot, Frame, BadFrame, Garbage };
  Kind kind = Garbage;
  std::string bytes;  // the unit as it came off the line
  std::string text;   // Frame and BadFrame: the bytes between STX and ETX
};

class FrameParser {
 public:
  // A frame, from STX to its block check, of at most this many bytes; one
  // still open after it is dropped as garbage, so a lost ETX cannot swallow
  // the rest of the connection. Data blocks are bounded by their length field
  // instead: STX, "W", length, offset, up to 65535 data bytes and the check.
  static constexpr size_t kMaxFrame = 4096;
  static constexpr size_t kMaxBlock = 8 + 65535 + 2;

  explicit FrameParser(CheckMode mode = CheckMode::Lrc) : mode_(mode) {}

  void SetMode(CheckMode mode) { mode_ = mode; }
  CheckMode Mode() const { return mode_; }
  // Appends bytes and returns every unit now complete, in order.
  std::vector<WireUnit> Feed(const std::string& bytes);
  // The same, appending the units to `units`: a caller feeding many pieces
  // keeps one vector and its room.
  void Feed(const std::string& bytes, std::vector<WireUnit>& units);
  void Reset() { buffer_.clear(); }
  bool Pending() const { return !buffer_.empty(); }

 private:
  // Each takes the unread bytes, which start with STX. Length of the frame at
  // their front, 0 while incomplete.
  size_t FrameLength(std::string_view rest) const;
  // Whether the frame at the front is a download data block.
  bool IsBlock(std::string_view rest) const;
  WireUnit MakeFrame(std::string_view frame) const;

  CheckMode mode_;
  std::string buffer_;
};

}  // namespace korvex::emu
