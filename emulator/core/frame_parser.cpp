#include "emulator/core/frame_parser.h"

#include "link/framing.h"

namespace korvex::emu {
namespace {

bool StartsUnit(char c) {
  return c == ACK || c == NAK || c == ENQ || c == EOT || c == STX;
}

WireUnit::Kind SingleKind(char c) {
  switch (c) {
    case ACK: return WireUnit::Ack;
    case NAK: return WireUnit::Nak;
    case ENQ: return WireUnit::Enq;
    default: return WireUnit::Eot;
  }
}

// STX, "W", length (2 bytes, high first), offset (4 bytes), data.
constexpr size_t kBlockHeader = 8;

}  // namespace

std::vector<WireUnit> FrameParser::Feed(const std::string& bytes) {
  std::vector<WireUnit> units;
  Feed(bytes, units);
  return units;
}

// Units are cut from a read position and the buffer loses their bytes once per
// arrival, not once per unit: a burst of small units costs the same per byte.
void FrameParser::Feed(const std::string& bytes, std::vector<WireUnit>& units) {
  buffer_ += bytes;
  size_t pos = 0;
  while (pos < buffer_.size()) {
    const std::string_view rest = std::string_view(buffer_).substr(pos);
    const char first = rest[0];
    if (first != STX) {
      if (!StartsUnit(first)) {
        size_t end = 1;
        while (end < rest.size() && !StartsUnit(rest[end])) ++end;
        units.push_back(WireUnit{WireUnit::Garbage, std::string(rest.substr(0, end)), ""});
        pos += end;
        continue;
      }
      units.push_back(WireUnit{SingleKind(first), std::string(1, first), ""});
      ++pos;
      continue;
    }
    const size_t length = FrameLength(rest);
    if (length == 0) {
      // A data block's length field bounds it (at most 64 KiB), so it may
      // stay open past the frame limit.
      if (rest.size() < kMaxFrame || IsBlock(rest)) break;
      units.push_back(WireUnit{WireUnit::Garbage, std::string(rest.substr(0, kMaxFrame)), ""});
      pos += kMaxFrame;
      continue;
    }
    units.push_back(MakeFrame(rest.substr(0, length)));
    pos += length;
  }
  buffer_.erase(0, pos);
}

bool FrameParser::IsBlock(std::string_view rest) const {
  return mode_ == CheckMode::Crc && rest.size() >= 2 && rest[1] == 'W';
}

size_t FrameParser::FrameLength(std::string_view rest) const {
  const size_t check = CheckLength(mode_);
  if (IsBlock(rest)) {
    if (rest.size() < kBlockHeader) return 0;
    const size_t n =
        (static_cast<unsigned char>(rest[2]) << 8) | static_cast<unsigned char>(rest[3]);
    const size_t total = kBlockHeader + n + check;
    return rest.size() >= total ? total : 0;
  }
  // An ETX past the limit ends no frame: the frame is garbage once the
  // buffer reaches the limit (Feed).
  const size_t etx = rest.find(ETX, 1);
  if (etx == std::string_view::npos || etx + 1 + check > kMaxFrame) return 0;
  const size_t total = etx + 1 + check;
  return rest.size() >= total ? total : 0;
}

WireUnit FrameParser::MakeFrame(std::string_view frame) const {
  const size_t check = CheckLength(mode_);
  const bool block = IsBlock(frame);  // no ETX: its last data byte may be 0x03
  const std::string_view body = frame.substr(1, frame.size() - 1 - check);
  const std::string_view sent = frame.substr(frame.size() - check);
  const bool hasEtx = !block && !body.empty() && body.back() == ETX;
  bool good;
  if (mode_ == CheckMode::Lrc) {
    // CalculateLRC skips its first byte, the STX.
    good = static_cast<uint8_t>(sent[0]) == CalculateLRC(frame.substr(0, 1 + body.size()));
  } else {
    const uint16_t crc = CalculateCRC16(body);
    good = static_cast<uint8_t>(sent[0]) == (crc >> 8) &&
           static_cast<uint8_t>(sent[1]) == (crc & 0xFF);
  }
  return WireUnit{good ? WireUnit::Frame : WireUnit::BadFrame, std::string(frame),
                  std::string(hasEtx ? body.substr(0, body.size() - 1) : body)};
}

}  // namespace korvex::emu
