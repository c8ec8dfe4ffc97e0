#include "emulator/core/pin_pad.h"

namespace korvex::emu {

void PinPad::SetApp(PadApp app) {
  state_.app = app;
  Touch();
}

const std::vector<std::string>& PinPad::Records(int table) const {
  static const std::vector<std::string> kNone;
  const auto t = state_.tables.find(table);
  return t == state_.tables.end() ? kNone : t->second;
}

std::optional<std::string> PinPad::VersionRecord() const {
  const auto& records = Records(kVersionTable);
  if (records.empty()) return std::nullopt;
  return records.front();
}

}  // namespace korvex::emu
