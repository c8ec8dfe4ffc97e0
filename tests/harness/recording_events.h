// An event sink that records everything the control raises, in order.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "korvex/events.h"

namespace korvex::testing {

struct RecordedEvent {
  enum Kind { Interface, Debug } kind;
  int32_t type = 0;  // EventType, or DebugLevel for a debug event
  int32_t code = 0;
  std::string text;

  bool operator==(const RecordedEvent&) const = default;
};

// Readable failure output: control bytes and the code page's upper half as \xNN.
inline void PrintTo(const RecordedEvent& e, std::ostream* os) {
  *os << (e.kind == RecordedEvent::Interface ? "IE(" : "DE(") << e.type;
  if (e.kind == RecordedEvent::Interface) *os << ", " << e.code;
  *os << ", \"";
  for (unsigned char c : e.text) {
    if (c >= 0x20 && c < 0x7F) {
      *os << c;
    } else {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02X", c);
      *os << hex;
    }
  }
  *os << "\")";
}

inline RecordedEvent IE(int32_t type, int32_t code, std::string text) {
  return {RecordedEvent::Interface, type, code, std::move(text)};
}
inline RecordedEvent DE(int16_t level, std::string text) {
  return {RecordedEvent::Debug, level, 0, std::move(text)};
}

class RecordingEvents : public KorvexEvents {
 public:
  void InterfaceEvent(int32_t& EventType, int32_t& Code, std::string& Text) override {
    all.push_back(IE(EventType, Code, Text));
    if (onInterface) onInterface(all.back());
  }
  void DebugEvent(int16_t& DebugLevel, std::string& Text) override {
    all.push_back(DE(DebugLevel, Text));
  }

  std::vector<RecordedEvent> Interfaces() const {
    std::vector<RecordedEvent> out;
    for (const auto& e : all) {
      if (e.kind == RecordedEvent::Interface) out.push_back(e);
    }
    return out;
  }
  bool HasInterface(int32_t type, int32_t code) const {
    for (const auto& e : all) {
      if (e.kind == RecordedEvent::Interface && e.type == type && e.code == code) return true;
    }
    return false;
  }
  void Clear() { all.clear(); }

  std::vector<RecordedEvent> all;
  std::function<void(const RecordedEvent&)> onInterface;
};

}  // namespace korvex::testing
