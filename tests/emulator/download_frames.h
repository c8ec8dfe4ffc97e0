// The control's frames of a download, built byte for byte by the tests.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "emulator/core/check_mode.h"
#include "link/framing.h"

namespace korvex::emu::testing {

inline const std::string kStack = std::string("L*STACK") + FS + "100";
inline const std::string kHeap = std::string("L*CPPHEAP") + FS + "80";
inline const std::string kClosing = std::string("S") + FS + "80";
inline const std::string kGroup = "OD000000000000000019800101000000XXXXXXXXsetgroup.2";
inline const std::string kEnq(1, ENQ);
inline const std::string kEot(1, EOT);

inline std::string Crc(const std::string& text) {
  return EncodeFrame(text, CheckMode::Crc);
}

inline std::string BigEndian(uint32_t value, int bytes) {
  std::string out;
  for (int i = bytes - 1; i >= 0; --i) out += static_cast<char>((value >> (8 * i)) & 0xFF);
  return out;
}

// A data block: "W", length, offset, data, without ETX.
inline std::string Block(uint32_t offset, const std::string& data) {
  const std::string body = "W" + BigEndian(uint32_t(data.size()), 2) + BigEndian(offset, 4) + data;
  return STX + body + CheckBytes(body, CheckMode::Crc);
}

inline std::string Header(const std::string& type, size_t size, const std::string& name,
                          const std::string& when = "20240305070809") {
  char hex[9];
  std::snprintf(hex, sizeof hex, "%08zX", size);
  return type + hex + "00000000" + when + "XXXXXXXX" + name;
}

}  // namespace korvex::emu::testing
