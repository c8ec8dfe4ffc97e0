#include "cli/bridge_output.h"

#include <charconv>

#include "cli/byte_text.h"
#include "cli/card_data.h"

namespace korvex::cli {

namespace {

// An event line with room for its fields and its text: a text of n bytes
// takes 2n + 2 at most, unless it has controls to escape.
std::string EventLine(std::string_view text) {
  constexpr size_t kFieldsRoom = 80;  // the event's name and two numbers
  std::string line;
  line.reserve(kFieldsRoom + 2 * text.size());
  return line;
}

void AppendNumber(std::string& line, int32_t n) {
  char digits[16];
  line.append(digits, std::to_chars(digits, digits + sizeof digits, n).ptr);
}

// The text quoted straight into the line, and the closing brace.
void AppendText(std::string& line, std::string_view text) {
  line += ",\"text\":";
  AppendQuotedBytes(line, text);
  line += '}';
}

}  // namespace

std::string InterfaceEventLine(int32_t type, int32_t code, std::string_view text) {
  std::string line = EventLine(text);
  line += "{\"event\":\"InterfaceEvent\",\"type\":";
  AppendNumber(line, type);
  line += ",\"code\":";
  AppendNumber(line, code);
  AppendText(line, text);
  return line;
}

std::string DebugEventLine(int16_t level, std::string_view text) {
  std::string line = EventLine(text);
  line += "{\"event\":\"DebugEvent\",\"level\":";
  AppendNumber(line, level);
  AppendText(line, text);
  return line;
}

void BridgeEvents::InterfaceEvent(int32_t& EventType, int32_t& Code, std::string& Text) {
  // Only a text that hides card data is copied to be masked.
  std::string line = showCardData_ || !EventTextHidesCardData(EventType)
                         ? InterfaceEventLine(EventType, Code, Text)
                         : InterfaceEventLine(EventType, Code, MaskEventText(EventType, Text));
  out_.WriteText(std::move(line), LineKind::kEvent);
}

void BridgeEvents::DebugEvent(int16_t& DebugLevel, std::string& Text) {
  if (DebugLevel < traceLevel_) return;
  out_.WriteText(DebugEventLine(DebugLevel, Text), LineKind::kDebug);
}

}  // namespace korvex::cli
