#include "emulator/core/wire_text.h"

#include <cstdint>
#include <cstdio>

#include "link/framing.h"

namespace korvex::emu {
namespace {

const char* ControlName(unsigned char c) {
  switch (c) {
    case 0x00: return "NUL";
    case 0x02: return "STX";
    case 0x03: return "ETX";
    case 0x04: return "EOT";
    case 0x05: return "ENQ";
    case 0x06: return "ACK";
    case 0x0E: return "SO";
    case 0x0F: return "SI";
    case 0x15: return "NAK";
    case 0x1A: return "SUB";
    case 0x1C: return "FS";
    default: return nullptr;
  }
}

std::string Hex(unsigned value, int digits) {
  char buf[8];
  std::snprintf(buf, sizeof buf, "%0*X", digits, value);
  return buf;
}

// STX, "W", length (2 bytes), offset (4 bytes), then the data.
constexpr size_t kBlockHead = 8;

bool IsDataBlock(const std::string& frame, CheckMode mode) {
  return mode == CheckMode::Crc && frame.size() >= kBlockHead + 2 && frame[0] == STX &&
         frame[1] == 'W';
}

uint32_t BigEndian(const std::string& bytes, size_t pos, size_t count) {
  uint32_t value = 0;
  for (size_t i = 0; i < count; ++i)
    value = (value << 8) | static_cast<unsigned char>(bytes[pos + i]);
  return value;
}

}  // namespace

std::string DescribeBytes(const std::string& bytes) {
  std::string out;
  for (char ch : bytes) {
    const auto c = static_cast<unsigned char>(ch);
    if (const char* name = ControlName(c)) {
      out += '<';
      out += name;
      out += '>';
    } else if (c < 0x20 || c >= 0x7F) {
      out += "<0x" + Hex(c, 2) + ">";
    } else {
      out += ch;
    }
  }
  return out;
}

std::string DescribeFrame(const std::string& frame, CheckMode mode) {
  const size_t checkLen = CheckLength(mode);
  if (frame.size() < 2 + checkLen || frame[0] != STX) return DescribeBytes(frame);
  const std::string body = frame.substr(0, frame.size() - checkLen);
  const std::string check = frame.substr(body.size());
  unsigned value = 0;
  for (char c : check) value = (value << 8) | static_cast<unsigned char>(c);
  const std::string name = mode == CheckMode::Lrc ? "LRC" : "CRC";
  const std::string shown = IsDataBlock(frame, mode)
                                ? "<STX>W<length " + std::to_string(BigEndian(frame, 2, 2)) +
                                      "><offset " + std::to_string(BigEndian(frame, 4, 4)) + "><" +
                                      std::to_string(body.size() - kBlockHead) + " data bytes>"
                                : DescribeBytes(body);
  return shown + "<" + name + " 0x" + Hex(value, int(checkLen * 2)) + ">";
}

std::string TranscriptBytes(const std::string& unit, CheckMode mode) {
  if (!IsDataBlock(unit, mode)) return unit;
  return unit.substr(0, kBlockHead) + unit.substr(unit.size() - CheckLength(mode));
}

}  // namespace korvex::emu
