#include "emulator/messages/message_checks.h"

#include <algorithm>
#include <cctype>

namespace korvex::emu {

std::function<std::optional<Rejection>(const std::string&, PadServices&)> ExactText(
    std::string text) {
  return [text](const std::string& got, PadServices&) -> std::optional<Rejection> {
    if (got == text) return std::nullopt;
    return Rejection{kStatusBadFormat, "request must be exactly \"" + text + "\""};
  };
}

bool AllDigits(const std::string& s) {
  return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

bool AllHex(const std::string& s) {
  return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) {
    return std::isxdigit(static_cast<unsigned char>(c)) != 0;
  });
}

std::string PadNumber(size_t value, int width) {
  std::string s = std::to_string(value);
  if (s.size() < size_t(width)) s.insert(0, size_t(width) - s.size(), '0');
  return s;
}

void SwitchApp(PadServices& pad, PadApp app) {
  if (pad.Pad().removalWait) {
    pad.Cancel(*pad.Pad().removalWait);
    pad.Pad().removalWait.reset();
  }
  pad.Pad().SetApp(app);
  pad.Note("application: " + AppName(app));
}

}  // namespace korvex::emu
