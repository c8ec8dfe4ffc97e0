#include "cli/demo_pad.h"

#include "emulator/core/emulator_config.h"
#include "hash/secure_hash.h"
#include "link/framing.h"

namespace korvex::cli {

emu::PadState OldTablesPad(const std::string& keyChecksum) {
  const std::string fs(1, FS);
  std::string version;
  for (int i = 0; i < 5; ++i) version += fs;
  version += "OLD000OLD000";
  for (int i = 0; i < 7; ++i) version += fs;
  version += keyChecksum;
  for (int i = 0; i < 6; ++i) version += fs;

  emu::PadState state;
  state.app = emu::PadApp::Payment;
  state.tables[emu::kEstTable] = {"old EST record 1", "old EST record 2"};
  state.tables[emu::kMvtTable] = {"old MVT record 1", "old MVT record 2", "old MVT record 3"};
  state.tables[emu::kVersionTable] = {version};
  return state;
}

std::string KeyChecksum(JsonTerminal& terminal) {
  std::string ids;
  for (int16_t k = 1; k <= terminal.getERKCount(); ++k) ids += terminal.getERKID(k);
  return SHA1Hex(ids).substr(0, 30);
}

emu::Cardholder DemoCardholder(emu::CardEntry entry, bool pace) {
  emu::Cardholder cardholder;
  cardholder.entry = entry;
  if (!pace) {
    cardholder.entryDelayMs = 50;
    cardholder.amountDelayMs = 100;
    cardholder.pinDelayMs = 150;
  }
  return cardholder;
}

emu::Delays DemoDelays(bool pace) {
  emu::Delays delays;
  if (!pace) {
    delays.loaderBootMs = 100;
    delays.paymentStartMs = 100;
  }
  return delays;
}

int64_t DemoCardRemovalMs(bool pace) {
  return pace ? emu::CardReader{}.removalDelayMs : 100;
}

}  // namespace korvex::cli
