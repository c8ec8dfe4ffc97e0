#include "cli/bridge_output.h"

#include "cli/card_data.h"

namespace korvex::cli {

void JsonLineWriter::Write(const Json& line, LineKind kind) {
  out_.Push(line.dump(-1, ' ', false, Json::error_handler_t::replace), kind);
}

Json InterfaceEventLine(int32_t type, int32_t code, const std::string& text) {
  return Json{
      {"event", "InterfaceEvent"}, {"type", type}, {"code", code}, {"text", TextValue(text)}};
}

Json DebugEventLine(int16_t level, const std::string& text) {
  return Json{{"event", "DebugEvent"}, {"level", level}, {"text", TextValue(text)}};
}

void BridgeEvents::InterfaceEvent(int32_t& EventType, int32_t& Code, std::string& Text) {
  out_.Write(
      InterfaceEventLine(EventType, Code, showCardData_ ? Text : MaskEventText(EventType, Text)),
      LineKind::kEvent);
}

void BridgeEvents::DebugEvent(int16_t& DebugLevel, std::string& Text) {
  if (DebugLevel < traceLevel_) return;
  out_.Write(DebugEventLine(DebugLevel, Text), LineKind::kDebug);
}

}  // namespace korvex::cli
