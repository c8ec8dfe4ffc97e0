#include "emulator/core/pin_pad.h"

namespace korvex::emu {

PadState BrandNewPad() {
  PadState state;
  state.app = PadApp::Loader;
  state.paymentInstalled = false;
  return state;
}

void PinPad::SetApp(PadApp app) {
  state_.app = app;
  Touch();
}

void PinPad::StoreFile(const std::string& name, StoredFile file) {
  state_.files[name] = std::move(file);
  Touch();
}

void PinPad::InstallPayment(std::string version) {
  state_.paymentInstalled = true;
  state_.paymentVersion = std::move(version);
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
