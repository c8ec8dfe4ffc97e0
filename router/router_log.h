// The router's log on standard error: one line per event, filtered by level.
#pragma once

#include <optional>
#include <ostream>
#include <string>

namespace korvex::router {

enum class LogLevel { Error, Warning, Info, Debug };

std::optional<LogLevel> ParseLogLevel(const std::string& text);  // error, warning, info, debug

class RouterLog {
 public:
  RouterLog(std::ostream& out, LogLevel level) : out_(out), level_(level) {}

  void Error(const std::string& text) { Write(LogLevel::Error, text); }
  void Warning(const std::string& text) { Write(LogLevel::Warning, text); }
  void Info(const std::string& text) { Write(LogLevel::Info, text); }
  void Debug(const std::string& text) { Write(LogLevel::Debug, text); }
  void Write(LogLevel level, const std::string& text);

 private:
  std::ostream& out_;
  LogLevel level_;
};

}  // namespace korvex::router
