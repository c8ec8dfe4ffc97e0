// The host bridge's output: one JSON object per line, handed to the output
// queue, and the control's events turned into such lines as they are raised.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

#include "cli/output_queue.h"
#include "korvex/events.h"

namespace korvex::cli {

class JsonLineWriter {
 public:
  explicit JsonLineWriter(OutputQueue& out) : out_(out) {}
  // A line already written as JSON text.
  void WriteText(std::string line, LineKind kind) { out_.Push(std::move(line), kind); }
  // Stands for the answer of an input line that needs none (a blank line).
  void NoAnswer() { out_.Push("", LineKind::kAnswer); }

 private:
  OutputQueue& out_;
};

// Event lines come by the thousand (a trace for each step of a run) in two
// fixed shapes, so they are written as text, their text quoted straight into
// the line: the same bytes as a document built and dumped, in one allocation.
// {"event":"InterfaceEvent","type":T,"code":C,"text":"..."}
std::string InterfaceEventLine(int32_t type, int32_t code, std::string_view text);
// {"event":"DebugEvent","level":L,"text":"..."}
std::string DebugEventLine(int16_t level, std::string_view text);

// Writes each event the moment the control raises it, so events raised inside
// a call come before the call's return line. A swiped card's track 2 is
// masked unless showCardData; debug texts are traces and pass unchanged, but
// only from traceLevel up: the lower levels are dropped here, before costing
// any output.
class BridgeEvents : public KorvexEvents {
 public:
  BridgeEvents(JsonLineWriter& out, bool showCardData, int traceLevel = 0)
      : out_(out), showCardData_(showCardData), traceLevel_(traceLevel) {}
  void InterfaceEvent(int32_t& EventType, int32_t& Code, std::string& Text) override;
  void DebugEvent(int16_t& DebugLevel, std::string& Text) override;

 private:
  JsonLineWriter& out_;
  bool showCardData_;
  int traceLevel_;
};

}  // namespace korvex::cli
