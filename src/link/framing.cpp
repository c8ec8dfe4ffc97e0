#include "link/framing.h"

namespace korvex {

uint8_t CalculateLRC(std::string_view Frame) {
  uint8_t lrc = 0;
  for (size_t i = 1; i < Frame.size(); ++i) lrc ^= static_cast<uint8_t>(Frame[i]);
  return lrc;
}

namespace {

// One step of the shift register per bit, most significant bit first.
constexpr uint16_t CrcStep(uint16_t reg, uint16_t poly) {
  return (reg & 0x8000) != 0 ? static_cast<uint16_t>((reg << 1) ^ poly)
                             : static_cast<uint16_t>(reg << 1);
}

// The register after shifting in a whole byte, for every value of its top
// byte: a block of several hundred bytes then costs one look-up per byte.
struct CrcTable {
  uint16_t entry[256] = {};
  constexpr explicit CrcTable(uint16_t poly) {
    for (int i = 0; i < 256; ++i) {
      auto reg = static_cast<uint16_t>(i << 8);
      for (int bit = 0; bit < 8; ++bit) reg = CrcStep(reg, poly);
      entry[i] = reg;
    }
  }
};

constexpr CrcTable kCrcTable(kCrcPolynomial & 0xFFFF);

}  // namespace

uint16_t CalculateCRC16(std::string_view Data, int32_t Polynomial) {
  const auto poly = static_cast<uint16_t>(Polynomial & 0xFFFF);
  uint16_t reg = 0;
  if (poly == (kCrcPolynomial & 0xFFFF)) {
    for (unsigned char byte : Data) {
      reg = static_cast<uint16_t>((reg << 8) ^ kCrcTable.entry[((reg >> 8) ^ byte) & 0xFF]);
    }
    return reg;
  }
  for (unsigned char byte : Data) {
    reg ^= static_cast<uint16_t>(byte << 8);
    for (int bit = 0; bit < 8; ++bit) reg = CrcStep(reg, poly);
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
