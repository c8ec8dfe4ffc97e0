// The block check that follows ETX: one XOR byte on the payment application's
// line, two CRC-16 bytes (high byte first) while the loader is in download mode.
#pragma once

#include <cstddef>
#include <string>

namespace korvex::emu {

enum class CheckMode { Lrc, Crc };

inline size_t CheckLength(CheckMode mode) {
  return mode == CheckMode::Lrc ? 1 : 2;
}

// STX + text + ETX + check bytes.
std::string EncodeFrame(const std::string& text, CheckMode mode);

// The check bytes a frame body (everything after STX, through ETX) must carry.
std::string CheckBytes(const std::string& body, CheckMode mode);

}  // namespace korvex::emu
