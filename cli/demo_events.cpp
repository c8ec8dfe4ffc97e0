#include "cli/demo_events.h"

#include <cstdio>

#include "cli/card_data.h"
#include "emulator/core/wire_text.h"
#include "support/code_page.h"

namespace korvex::cli {

namespace {

// Success and progress (0) and a swiped track (5) carry a step forward;
// everything else (1 error, 3 socket error) ends it.
bool IsFailure(int32_t type) {
  return type != 0 && type != 5;
}

}  // namespace

DemoEvents::DemoEvents(std::ostream& out, const DemoOptions& options, Clock::time_point start,
                       DownloadProgress& progress)
    : out_(out), options_(options), progress_(progress), start_(start) {}

void DemoEvents::InterfaceEvent(int32_t& EventType, int32_t& Code, std::string& Text) {
  const std::string line = "InterfaceEvent " + std::to_string(EventType) + "/" +
                           std::to_string(Code) + " " + Shown(EventType, Text);
  progress_.BreakLine();
  out_ << Stamp() << line << "\n";
  if (IsFailure(EventType) && !failure_) failure_ = line;
  seen_.push_back({EventType, Code, Text});
}

void DemoEvents::DebugEvent(int16_t& DebugLevel, std::string& Text) {
  if (Text == "Deleting EST Record." || Text == "Deleting MVT Record.") ++deleted;
  if (Text == "Lisan EST kirje" || Text == "Lisan MVT kirje") ++added;
  if (options_.traceLevel > 0 && DebugLevel >= options_.traceLevel) {
    // Traces pass unchanged, card data included; frames carry control
    // characters, shown by name.
    progress_.BreakLine();
    out_ << Stamp() << "  debug " << DebugLevel << ": " << CodePageToUtf8(emu::DescribeBytes(Text))
         << "\n";
  }
}

void DemoEvents::NewStep() {
  seen_.clear();
  failure_.reset();
}

std::optional<std::string> DemoEvents::Seen(int32_t type, int32_t code) const {
  for (const Event& e : seen_) {
    if (e.type == type && e.code == code) return e.text;
  }
  return std::nullopt;
}

std::string DemoEvents::Stamp() const {
  const double s = std::chrono::duration<double>(Clock::now() - start_).count();
  char buf[32];
  std::snprintf(buf, sizeof buf, "[%7.3fs] ", s);
  return buf;
}

std::string DemoEvents::Shown(int32_t type, const std::string& text) const {
  return CodePageToUtf8(options_.showCardData ? text : MaskEventText(type, text));
}

}  // namespace korvex::cli
