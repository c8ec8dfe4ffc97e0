#include "emulator/core/transcript.h"

#include <cstdio>

#include "emulator/core/time_units.h"

namespace korvex::emu {

std::string FormatEntry(const TranscriptEntry& entry) {
  const char* arrow = entry.direction == Direction::ToPad     ? "control -> pad"
                      : entry.direction == Direction::FromPad ? "pad -> control"
                                                              : "note          ";
  char head[48];
  std::snprintf(head, sizeof head, "%10s ms  %s  ", MsText(entry.timeUs).c_str(), arrow);
  return head + entry.text;
}

namespace {
size_t Size(const TranscriptEntry& e) {
  return sizeof e + e.bytes.size() + e.text.size();
}
}  // namespace

void Transcript::Add(TranscriptEntry entry) {
  if (!enabled) return;
  bytes_ += Size(entry);
  entries_.push_back(std::move(entry));
  if (listener) listener(entries_.back());
  while (bytes_ > kMaxBytes && entries_.size() > 1) {
    bytes_ -= Size(entries_.front());
    entries_.pop_front();
    ++dropped_;
  }
}

void Transcript::AddNote(int64_t timeUs, std::string text) {
  Add(TranscriptEntry{timeUs, Direction::Note, "", std::move(text)});
}

std::string Transcript::Dump() const {
  std::string out;
  if (dropped_ > 0) out = "(" + std::to_string(dropped_) + " earlier entries dropped)\n";
  for (const auto& e : entries_) out += FormatEntry(e) + "\n";
  return out;
}

bool Transcript::Contains(const std::string& piece) const {
  for (const auto& e : entries_) {
    if (e.text.find(piece) != std::string::npos) return true;
  }
  return false;
}

}  // namespace korvex::emu
