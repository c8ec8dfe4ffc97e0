// Reads the PIN pad's length-prefixed EMV values left to right: three decimal
// digits giving the byte count L, then 2L hexadecimal characters.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

#include "support/conversions.h"

namespace korvex {

class ValueReader {
 public:
  explicit ValueReader(const std::string& text, size_t start = 0) : text_(text), pos_(start) {}

  // The next value; nothing when the count is not three digits (a sign, blank
  // or point makes no sense in a length) or the value runs past the end. The
  // position only moves on success.
  std::optional<std::string> Value() {
    const size_t start = pos_;
    const std::optional<std::string> count = Take(3);
    if (count && IsDigits(*count)) {
      if (auto value = Take(2 * static_cast<size_t>(std::stoi(*count)))) return value;
    }
    pos_ = start;
    return std::nullopt;
  }

  // The next n characters, or nothing when fewer remain.
  std::optional<std::string> Take(size_t n) {
    if (pos_ > text_.size() || text_.size() - pos_ < n) return std::nullopt;
    std::string out = text_.substr(pos_, n);
    pos_ += n;
    return out;
  }

  // Characters not read yet.
  size_t Remaining() const { return pos_ < text_.size() ? text_.size() - pos_ : 0; }

 private:
  const std::string& text_;
  size_t pos_;
};

}  // namespace korvex
