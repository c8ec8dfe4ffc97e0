// An event sink that records everything the control raises, in order.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <vector>

#include "korvex/events.h"

namespace korvex::testing {

struct RecordedEvent {
  enum Kind { Interface, Debug } kind;
  int32_t type = 0, code = 0;  // type: EventType, or DebugLevel for a debug event
  std::string text;

  bool operator==(const RecordedEvent&) const = default;
};

// Readable failure output: the text as an escaped literal (code page bytes as \xNN).
inline void PrintTo(const RecordedEvent& e, std::ostream* os) {
  const bool ie = e.kind == RecordedEvent::Interface;
  *os << (ie ? "IE(" : "DE(") << e.type << (ie ? ", " + std::to_string(e.code) : "") << ", "
      << ::testing::PrintToString(e.text) << ")";
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
  }
  void DebugEvent(int16_t& DebugLevel, std::string& Text) override {
    all.push_back(DE(DebugLevel, Text));
  }
  bool WantsDebugEvents() const override { return traces; }

  std::vector<RecordedEvent> Interfaces() const {
    std::vector<RecordedEvent> v;
    std::ranges::copy_if(all, std::back_inserter(v),
                         [](auto& e) { return e.kind == RecordedEvent::Interface; });
    return v;
  }
  bool HasInterface(int32_t type, int32_t code) const {
    return std::ranges::any_of(Interfaces(),
                               [&](auto& e) { return e.type == type && e.code == code; });
  }
  void Clear() { all.clear(); }

  std::vector<RecordedEvent> all;
  bool traces = true;  // false: the host reads no traces
};

}  // namespace korvex::testing
