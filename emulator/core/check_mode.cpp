#include "emulator/core/check_mode.h"

#include "link/framing.h"

namespace korvex::emu {

std::string CheckBytes(const std::string& body, CheckMode mode) {
  if (mode == CheckMode::Lrc) {
    // CalculateLRC skips its first byte, which is STX in a frame.
    return std::string(1, static_cast<char>(CalculateLRC(std::string(1, STX) + body)));
  }
  const uint16_t crc = CalculateCRC16(body);
  return {static_cast<char>(crc >> 8), static_cast<char>(crc & 0xFF)};
}

std::string EncodeFrame(const std::string& text, CheckMode mode) {
  std::string frame = Framed(text);
  return frame + CheckBytes(frame.substr(1), mode);
}

}  // namespace korvex::emu
