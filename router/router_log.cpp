#include "router/router_log.h"

namespace korvex::router {
namespace {

constexpr const char* kNames[] = {"error", "warning", "info", "debug"};

}  // namespace

std::optional<LogLevel> ParseLogLevel(const std::string& text) {
  for (int i = 0; i < 4; ++i) {
    if (text == kNames[i]) return static_cast<LogLevel>(i);
  }
  return std::nullopt;
}

void RouterLog::Write(LogLevel level, const std::string& text) {
  if (level > level_) return;
  // Flushed per line: a service manager's journal shows each event as it happens.
  out_ << "korvex-router: " << kNames[static_cast<int>(level)] << ": " << text << std::endl;
}

}  // namespace korvex::router
