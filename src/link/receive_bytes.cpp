#include "link/receive_bytes.h"

#include <algorithm>

#include "link/framing.h"

namespace korvex {

namespace {

// EOT is none of them: an EOT from the PIN pad is never a unit of its own.
constexpr char kUnitStarts[] = {ACK, ENQ, NAK, STX, SI};

}  // namespace

ReceiveBytes& ReceiveBytes::operator=(std::string_view bytes) {
  data_.assign(bytes);
  read_ = scan_ = 0;
  return *this;
}

std::string_view ReceiveBytes::Read(Socket& socket) {
  Compact();
  const size_t before = data_.size();
  socket.AppendData(data_);
  return std::string_view(data_).substr(before);
}

std::string_view ReceiveBytes::NextUnit(size_t checkBytes) {
  if (scan_ == read_) {  // no frame start waiting: look for the next unit start
    const size_t start = data_.find_first_of(kUnitStarts, read_, sizeof kUnitStarts);
    read_ = scan_ = start == std::string::npos ? data_.size() : start;
    if (start == std::string::npos) return {};
    if (data_[start] != STX && data_[start] != SI) return std::string_view(data_).substr(start, 1);
    scan_ = start + 1;
  }
  const char endChar = data_[read_] == STX ? ETX : SO;
  const size_t end = data_.find(endChar, scan_);
  scan_ = end == std::string::npos ? data_.size() : end;
  if (end == std::string::npos || data_.size() < end + 1 + checkBytes) return {};
  return std::string_view(data_).substr(read_, end + 1 + checkBytes - read_);
}

void ReceiveBytes::Drop(size_t n) {
  read_ += std::min(n, size());
  scan_ = read_;
}

size_t ReceiveBytes::Bound() {
  const size_t held = size();
  if (held <= limit_) return 0;
  read_ = scan_ = data_.size();
  return held;
}

void ReceiveBytes::Trim() {
  Compact();
  if (data_.capacity() > kKeptCapacity && data_.size() <= kKeptCapacity) data_.shrink_to_fit();
}

void ReceiveBytes::clear() {
  data_.clear();
  read_ = scan_ = 0;
}

void ReceiveBytes::Compact() {
  if (read_ == 0) return;
  if (read_ == data_.size()) {
    clear();
  } else if (read_ >= data_.size() - read_) {
    data_.erase(0, read_);
    scan_ -= read_;
    read_ = 0;
  }
}

}  // namespace korvex
