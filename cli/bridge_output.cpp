#include "cli/bridge_output.h"

#include "cli/card_data.h"

namespace korvex::cli {

namespace {

// Compact, and invalid UTF-8 replaced instead of thrown.
std::string Dumped(const Json& value) {
  return value.dump(-1, ' ', false, Json::error_handler_t::replace);
}

std::string Quoted(const std::string& text) {
  return Dumped(TextValue(text));
}

}  // namespace

void JsonLineWriter::Write(const Json& line, LineKind kind) {
  out_.Push(Dumped(line), kind);
}

std::string InterfaceEventLine(int32_t type, int32_t code, const std::string& text) {
  return "{\"event\":\"InterfaceEvent\",\"type\":" + std::to_string(type) +
         ",\"code\":" + std::to_string(code) + ",\"text\":" + Quoted(text) + "}";
}

std::string DebugEventLine(int16_t level, const std::string& text) {
  return "{\"event\":\"DebugEvent\",\"level\":" + std::to_string(level) +
         ",\"text\":" + Quoted(text) + "}";
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
