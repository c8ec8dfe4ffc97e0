// The bytes received from the router and not yet handled, and the cutting of
// them into units (a lone ACK, NAK or ENQ, or a frame with its check bytes).
//
// Handled bytes are passed over with a read position instead of being erased
// from the front, and the search for a unit's end resumes where it stopped, so
// a burst of any length costs the same per byte and no byte is searched twice.
// The memory behind the read position is reused once the unread bytes fit in
// front of it.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "korvex/host.h"

namespace korvex {

class ReceiveBytes {
 public:
  // Bytes that stay between arrivals at most, unless a buffer is made with
  // another bound: four times the largest frame of the link (a download block
  // of 65535 data bytes, its header and its CRC).
  static constexpr size_t kLimit = 4 * (1 + 7 + 65535 + 1 + 2);
  // Memory a single large arrival leaves behind is given back past this.
  static constexpr size_t kKeptCapacity = 2u << 20;

  ReceiveBytes() = default;
  // A lower bound lets a fuzzer pass it with a few kilobytes instead of a
  // quarter of a megabyte for each try.
  explicit ReceiveBytes(size_t limit) : limit_(limit) {}
  ReceiveBytes(std::string_view bytes) : data_(bytes) {}  // NOLINT: as a text
  ReceiveBytes& operator=(std::string_view bytes);

  // Appends whatever the socket holds; returns the bytes added.
  std::string_view Read(Socket& socket);

  // The earliest complete unit, the bytes in front of it dropped (nothing but
  // a unit start can begin one); empty while no unit is complete. A frame
  // takes checkBytes bytes after its end character. The unit stays until Drop.
  std::string_view NextUnit(size_t checkBytes);
  // Passes over the first n unread bytes (a unit that NextUnit returned).
  void Drop(size_t n);

  // Drops every unread byte when more than limit() are held: no unit is that
  // long, so what they would start is broken anyway. Returns how many.
  size_t Bound();
  size_t limit() const { return limit_; }
  // Gives back memory a single large arrival left behind.
  void Trim();

  std::string_view View() const { return std::string_view(data_).substr(read_); }
  size_t size() const { return data_.size() - read_; }
  bool empty() const { return size() == 0; }
  size_t capacity() const { return data_.capacity(); }
  void clear();
  bool operator==(std::string_view bytes) const { return View() == bytes; }

 private:
  // Moves the unread bytes to the front when they fit in the space before
  // them, so every byte is moved at most once per byte passed over.
  void Compact();

  std::string data_;
  size_t limit_ = kLimit;
  size_t read_ = 0;  // the first unread byte
  // While a frame start waits at read_ for its end: where the search for the
  // end goes on (its end character itself once found); read_ otherwise.
  size_t scan_ = 0;
};

}  // namespace korvex
