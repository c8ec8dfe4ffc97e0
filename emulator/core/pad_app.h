// The applications of the PIN pad and the phases between them. While an
// application starts (the loader after "I07", the payment application after
// "L0302") the pad reads nothing from its line.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "emulator/core/check_mode.h"

namespace korvex::emu {

enum class PadApp : uint8_t {
  Payment,          // EMVApp running
  Loader,           // LoaderApp running
  LoaderBooting,    // "I07" taken, the loader not up yet
  PaymentStarting,  // "L0302" taken, P00 not sent yet
  Download,         // the loader in download mode after "L0202"
};

// A set of applications, for the handler table.
class AppSet {
 public:
  constexpr AppSet() = default;
  constexpr AppSet(PadApp app) : bits_(Bit(app)) {}  // NOLINT: a single app is a set
  constexpr AppSet operator|(AppSet other) const { return AppSet(bits_ | other.bits_); }
  constexpr bool Has(PadApp app) const { return (bits_ & Bit(app)) != 0; }

 private:
  constexpr explicit AppSet(uint8_t bits) : bits_(bits) {}
  static constexpr uint8_t Bit(PadApp app) { return uint8_t(1u << static_cast<unsigned>(app)); }
  uint8_t bits_ = 0;
};

inline constexpr int kApplicationBaud = 19200;
inline constexpr int kDownloadBaud = 115200;

std::string AppName(PadApp app);
std::optional<PadApp> AppFromName(const std::string& name);
bool IsStarting(PadApp app);
// The rate the pad's line runs at and the check its frames carry.
int AppBaud(PadApp app);
CheckMode AppCheckMode(PadApp app);
// The application a starting phase ends in; download mode is the loader's.
PadApp SettledApp(PadApp app);

}  // namespace korvex::emu
