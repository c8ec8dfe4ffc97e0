#include "emulator/core/serial_line.h"

#include <algorithm>

namespace korvex::emu {

char Garble(char byte) {
  const auto b = static_cast<unsigned char>(byte);
  return static_cast<char>(0x80 | ((b * 0x25 + 0x4B) & 0x7F));
}

int64_t ByteTimeUs(int baud) {
  return baud > 0 ? (10 * 1000000LL + baud - 1) / baud : 0;
}

void SerialLine::Write(const std::string& bytes, int64_t nowUs) {
  if (bytes.empty()) return;
  if (!options_.pace) {
    Push(nowUs, bytes, nowUs);
    return;
  }
  if (options_.use && options_.baud > 0) {
    options_.use->bytes += bytes.size();
    options_.use->floorUs += double(bytes.size()) * 10e6 / options_.baud;
  }
  const int64_t perByte = ByteTimeUs(options_.baud);
  std::string piece;
  int64_t pieceDue = -1;
  for (char c : bytes) {
    busyUntilUs_ = std::max(busyUntilUs_, nowUs) + perByte;
    if (busyUntilUs_ != pieceDue && !piece.empty()) {
      Push(pieceDue, piece, nowUs);
      piece.clear();
    }
    pieceDue = busyUntilUs_;
    piece += c;
  }
  Push(pieceDue, piece, nowUs);
}

void SerialLine::Push(int64_t dueUs, const std::string& bytes, int64_t writtenUs) {
  // Taken pieces make room before the vector would grow, so a line that is
  // never drained to empty stays bounded.
  if (head_ > 0 && pieces_.size() == pieces_.capacity()) {
    pieces_.erase(pieces_.begin(), pieces_.begin() + static_cast<std::ptrdiff_t>(head_));
    head_ = 0;
  }
  const size_t chunk = options_.chunkSize == 0 ? bytes.size() : options_.chunkSize;
  int64_t due = std::max(dueUs, lastDueUs_);
  for (size_t pos = 0; pos < bytes.size(); pos += chunk) {
    if (pos > 0) due += options_.chunkGapUs;
    pieces_.push_back(LinePiece{due, bytes.substr(pos, chunk), writtenUs});
    bytes_ += pieces_.back().bytes.size();
  }
  lastDueUs_ = due;
}

std::vector<std::string> SerialLine::TakeDue(int64_t nowUs) {
  std::vector<std::string> out;
  while (auto piece = TakeNext(nowUs)) out.push_back(std::move(*piece));
  return out;
}

std::optional<std::string> SerialLine::TakeNext(int64_t nowUs) {
  if (Empty() || pieces_[head_].dueUs > nowUs) return std::nullopt;
  LinePiece& piece = pieces_[head_++];
  bytes_ -= piece.bytes.size();
  Count(piece);
  std::string bytes = std::move(piece.bytes);
  if (Empty()) {
    pieces_.clear();
    head_ = 0;
  }
  return bytes;
}

// The span of a piece runs from its write to the moment its last bit has
// crossed; overlapping spans count once (a write that comes while the line is
// busy waits behind it). How late an adapter then takes the piece is the
// machine's, not the line's.
void SerialLine::Count(const LinePiece& piece) {
  if (!options_.pace || !options_.use) return;
  const int64_t from = std::max(piece.writtenUs, countedUntilUs_);
  if (piece.dueUs > from) options_.use->busyUs += piece.dueUs - from;
  countedUntilUs_ = std::max(countedUntilUs_, piece.dueUs);
}

std::optional<int64_t> SerialLine::NextDue() const {
  if (Empty()) return std::nullopt;
  return pieces_[head_].dueUs;
}

void SerialLine::Clear() {
  pieces_.clear();
  head_ = 0;
  bytes_ = 0;
  busyUntilUs_ = 0;
  lastDueUs_ = 0;
  countedUntilUs_ = 0;
}

}  // namespace korvex::emu
