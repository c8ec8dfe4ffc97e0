// Every unit that crossed the line in either direction, with the time it
// crossed (microseconds) and a readable decoding, plus the emulator's notes (connections,
// router commands, application switches, violations).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

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

class Transcript {
 public:
  void Add(TranscriptEntry entry);
  void AddNote(int64_t timeUs, std::string text);
  const std::vector<TranscriptEntry>& Entries() const { return entries_; }
  // All entries formatted, one per line.
  std::string Dump() const;
  // Whether any entry's text contains the given piece.
  bool Contains(const std::string& piece) const;
  void Clear() { entries_.clear(); }

  // Called with every new entry (the executable prints them as they come).
  std::function<void(const TranscriptEntry&)> listener;

 private:
  std::vector<TranscriptEntry> entries_;
};

}  // namespace korvex::emu
