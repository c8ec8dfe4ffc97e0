#include "cli/bridge_output.h"

#include "cli/byte_text.h"
#include "cli/card_data.h"

namespace korvex::cli {

namespace {

// An event line's fields before its text, then the text quoted straight into
// the line and the closing brace (a text of n bytes takes 2n + 2 at most,
// unless it has controls to escape).
std::string WithText(std::string line, const std::string& text) {
  line.reserve(line.size() + 2 * text.size() + 16);
  line += ",\"text\":";
  AppendQuotedBytes(line, text);
  line += '}';
  return line;
}

}  // namespace

std::string InterfaceEventLine(int32_t type, int32_t code, const std::string& text) {
  return WithText("{\"event\":\"InterfaceEvent\",\"type\":" + std::to_string(type) +
                      ",\"code\":" + std::to_string(code),
                  text);
}

std::string DebugEventLine(int16_t level, const std::string& text) {
  return WithText("{\"event\":\"DebugEvent\",\"level\":" + std::to_string(level), text);
}

void BridgeEvents::InterfaceEvent(int32_t& EventType, int32_t& Code, std::string& Text) {
  out_.WriteText(
      InterfaceEventLine(EventType, Code, showCardData_ ? Text : MaskEventText(EventType, Text)),
      LineKind::kEvent);
}

void BridgeEvents::DebugEvent(int16_t& DebugLevel, std::string& Text) {
  if (DebugLevel < traceLevel_) return;
  out_.WriteText(DebugEventLine(DebugLevel, Text), LineKind::kDebug);
}

}  // namespace korvex::cli
