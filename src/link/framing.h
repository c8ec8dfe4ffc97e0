// Wire units of the PIN-pad link and their block checks.
//
// A frame is STX, text, ETX and a block check over every byte after STX up to
// and including ETX: one XOR byte (LRC) normally, two CRC-16 bytes (high byte
// first) while a file download runs. ACK, NAK, EOT and ENQ travel alone.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace korvex {

inline constexpr char STX = 0x02;
inline constexpr char ETX = 0x03;
inline constexpr char EOT = 0x04;
inline constexpr char ENQ = 0x05;
inline constexpr char ACK = 0x06;
inline constexpr char SO = 0x0E;
inline constexpr char SI = 0x0F;
inline constexpr char NAK = 0x15;
inline constexpr char FS = 0x1C;

// The polynomial value the link passes; only its low 16 bits take effect.
inline constexpr int32_t kCrcPolynomial = 0x18005;

// XOR of the bytes from the second to the last; 0 for a frame of one byte.
uint8_t CalculateLRC(std::string_view Frame);

// CRC-16, polynomial 0x8005, initial 0, MSB first, no reflection, no final XOR.
uint16_t CalculateCRC16(std::string_view Data, int32_t Polynomial = kCrcPolynomial);

// STX + text + ETX.
std::string Framed(const std::string& text);

// Fields every received frame shares (positions count from 1 at STX): the
// message code at 2-4 and, in most replies, a two-digit result at 5-6 with
// "00" meaning success. Shorter frames give what they have.
std::string MessageCode(const std::string& frame);
std::string MessageResult(const std::string& frame);
// The data after the result (from position 7) up to the ETX that closes the
// frame; the ETX and the block check byte behind it are not data.
std::string MessageData(const std::string& frame);

}  // namespace korvex
