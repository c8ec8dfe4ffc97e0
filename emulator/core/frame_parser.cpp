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

void FrameParser::Feed(const std::string& bytes, std::vector<WireUnit>& units) {
  buffer_ += bytes;
  while (!buffer_.empty()) {
    const char first = buffer_[0];
    if (first != STX) {
      if (!StartsUnit(first)) {
        units.push_back(TakeGarbage());
        continue;
      }
      units.push_back(WireUnit{SingleKind(first), std::string(1, first), ""});
      buffer_.erase(0, 1);
      continue;
    }
    const size_t length = FrameLength();
    if (length == 0) {
      // A data block's length field bounds it (at most 64 KiB), so it may
      // stay open past the frame limit.
      if (buffer_.size() < kMaxFrame || IsBlock()) break;
      units.push_back(WireUnit{WireUnit::Garbage, buffer_.substr(0, kMaxFrame), ""});
      buffer_.erase(0, kMaxFrame);
      continue;
    }
    units.push_back(TakeFrame(length));
  }
}

bool FrameParser::IsBlock() const {
  return mode_ == CheckMode::Crc && buffer_.size() >= 2 && buffer_[1] == 'W';
}

size_t FrameParser::FrameLength() const {
  const size_t check = CheckLength(mode_);
  if (IsBlock()) {
    if (buffer_.size() < kBlockHeader) return 0;
    const size_t n =
        (static_cast<unsigned char>(buffer_[2]) << 8) | static_cast<unsigned char>(buffer_[3]);
    const size_t total = kBlockHeader + n + check;
    return buffer_.size() >= total ? total : 0;
  }
  // An ETX past the limit ends no frame: the frame is garbage once the
  // buffer reaches the limit (Feed).
  const size_t etx = buffer_.find(ETX, 1);
  if (etx == std::string::npos || etx + 1 + check > kMaxFrame) return 0;
  const size_t total = etx + 1 + check;
  return buffer_.size() >= total ? total : 0;
}

WireUnit FrameParser::TakeFrame(size_t length) {
  const size_t check = CheckLength(mode_);
  WireUnit unit;
  const bool block = IsBlock();  // no ETX: its last data byte may be 0x03
  unit.bytes = buffer_.substr(0, length);
  buffer_.erase(0, length);
  const std::string body = unit.bytes.substr(1, length - 1 - check);
  const bool hasEtx = !block && !body.empty() && body.back() == ETX;
  unit.text = hasEtx ? body.substr(0, body.size() - 1) : body;
  const bool good = CheckBytes(body, mode_) == unit.bytes.substr(length - check);
  unit.kind = good ? WireUnit::Frame : WireUnit::BadFrame;
  return unit;
}

WireUnit FrameParser::TakeGarbage() {
  size_t end = 1;
  while (end < buffer_.size() && !StartsUnit(buffer_[end])) ++end;
  WireUnit unit{WireUnit::Garbage, buffer_.substr(0, end), ""};
  buffer_.erase(0, end);
  return unit;
}

}  // namespace korvex::emu
