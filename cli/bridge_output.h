// The host bridge's output: one JSON object per line, flushed as soon as it is
// written, and the control's events turned into such lines as they are raised.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>

#include "cli/bridge_methods.h"
#include "korvex/events.h"

namespace korvex::cli {

class JsonLineWriter {
 public:
  explicit JsonLineWriter(std::ostream& out) : out_(out) {}
  // Never throws on text: invalid UTF-8 (only ever from a parser's message
  // quoting the input) is replaced, every other text is already UTF-8.
  void Write(const Json& line);

 private:
  std::ostream& out_;
};

// {"event": "InterfaceEvent", "type": T, "code": C, "text": "..."}
Json InterfaceEventLine(int32_t type, int32_t code, const std::string& text);
// {"event": "DebugEvent", "level": L, "text": "..."}
Json DebugEventLine(int16_t level, const std::string& text);

// Writes each event the moment the control raises it, so events raised inside
// a call come before the call's return line. A swiped card's track 2 is
// masked unless showCardData; debug texts are traces and pass unchanged.
class BridgeEvents : public KorvexEvents {
 public:
  BridgeEvents(JsonLineWriter& out, bool showCardData) : out_(out), showCardData_(showCardData) {}
  void InterfaceEvent(int32_t& EventType, int32_t& Code, std::string& Text) override;
  void DebugEvent(int16_t& DebugLevel, std::string& Text) override;

 private:
  JsonLineWriter& out_;
  bool showCardData_;
};

}  // namespace korvex::cli
