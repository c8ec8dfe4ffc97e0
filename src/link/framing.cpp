#include "link/framing.h"

namespace korvex {

uint8_t CalculateLRC(const std::string& Frame) {
  uint8_t lrc = 0;
  for (size_t i = 1; i < Frame.size(); ++i) lrc ^= static_cast<uint8_t>(Frame[i]);
  return lrc;
}

uint16_t CalculateCRC16(const std::string& Data, int32_t Polynomial) {
  const uint16_t poly = static_cast<uint16_t>(Polynomial & 0xFFFF);
  uint16_t reg = 0;
  for (unsigned char byte : Data) {
    for (int bit = 7; bit >= 0; --bit) {
      const bool feedback = ((reg >> 15) & 1) != ((byte >> bit) & 1);
      reg = static_cast<uint16_t>(reg << 1);
      if (feedback) reg ^= poly;
    }
  }
  return reg;
}

std::string Framed(const std::string& text) {
  std::string frame;
  frame.reserve(text.size() + 2);
  frame += STX;
  frame += text;
  frame += ETX;
  return frame;
}

std::string MessageCode(const std::string& frame) {
  return frame.size() > 1 ? frame.substr(1, 3) : std::string();
}

std::string MessageResult(const std::string& frame) {
  return frame.size() > 4 ? frame.substr(4, 2) : std::string();
}

std::string MessageData(const std::string& frame) {
  size_t end = frame.size();
  if (end >= 2 && frame[end - 2] == ETX) {
    end -= 2;  // ETX and the check byte, which may itself be 0x03
  } else if (end >= 1 && frame[end - 1] == ETX) {
    end -= 1;
  }
  return end > 6 ? frame.substr(6, end - 6) : std::string();
}

}  // namespace korvex
