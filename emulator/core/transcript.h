// Every unit that crossed the line in either direction, with the time it
// crossed (microseconds) and a readable decoding, plus the emulator's notes (connections,
// router commands, application switches, violations).
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <string>

namespace korvex::emu {

enum class Direction { ToPad, FromPad, Note };

struct TranscriptEntry {
  int64_t timeUs = 0;
  Direction direction = Direction::Note;
  std::string bytes;  // raw bytes of the unit; empty for a note
  std::string text;   // decoding, or the note itself
};

// One line: time in milliseconds (with microseconds when not whole),
// direction arrow and text.
std::string FormatEntry(const TranscriptEntry& entry);

// Bounded: once the entries hold more than kMaxBytes of bytes and text, the
// oldest go (the listener has seen them), so a flood of garbage cannot grow it
// without limit.
class Transcript {
 public:
  static constexpr size_t kMaxBytes = size_t{16} << 20;

  void Add(TranscriptEntry entry);
  void AddNote(int64_t timeUs, std::string text);
  const std::deque<TranscriptEntry>& Entries() const { return entries_; }
  // Entries dropped to keep within kMaxBytes.
  uint64_t Dropped() const { return dropped_; }
  // All entries formatted, one per line.
  std::string Dump() const;
  // Whether any entry's text contains the given piece.
  bool Contains(const std::string& piece) const;
  void Clear() {
    entries_.clear();
    bytes_ = 0;
  }

  // Off: entries are neither kept nor passed on (long runs nobody reads).
  bool enabled = true;
  // Called with every new entry (the executable prints them as they come).
  std::function<void(const TranscriptEntry&)> listener;

 private:
  std::deque<TranscriptEntry> entries_;
  size_t bytes_ = 0;
  uint64_t dropped_ = 0;
};

}  // namespace korvex::emu
