#include "cli/bridge_output.h"

#include "cli/byte_text.h"
#include "cli/card_data.h"

namespace korvex::cli {

namespace {

// Room for an event line's fixed part and its numbers; a text of n bytes
// takes 2n + 2 at most, unless it has controls to escape.
constexpr size_t kEventRoom = 64;

}  // namespace

std::string InterfaceEventLine(int32_t type, int32_t code, const std::string& text) {
  std::string line;
  line.reserve(kEventRoom + 2 * text.size());
  line += "{\"event\":\"InterfaceEvent\",\"type\":";
  line += std::to_string(type);
  line += ",\"code\":";
  line += std::to_string(code);
  line += ",\"text\":";
  AppendQuotedBytes(line, text);
  line += '}';
  return line;
}

std::string DebugEventLine(int16_t level, const std::string& text) {
  std::string line;
  line.reserve(kEventRoom + 2 * text.size());
  line += "{\"event\":\"DebugEvent\",\"level\":";
  line += std::to_string(level);
  line += ",\"text\":";
  AppendQuotedBytes(line, text);
  line += '}';
  return line;
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
