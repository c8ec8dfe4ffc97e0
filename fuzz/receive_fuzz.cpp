// Arbitrary bytes from the router reach a connected control in any of the
// states that wait for the PIN pad. Whatever arrives, the control must not
// crash, hang or leave the simulated time stuck.
#include <cstddef>
#include <cstdint>
#include <string>

#include "harness/quiet_link.h"
#include "korvex/json_terminal.h"

namespace {

constexpr int16_t kStates[] = {1,   100, 110, 111, 128, 152, 154, 156, 158, 160, 162, 164, 165, 202,
                               204, 205, 207, 209, 210, 211, 212, 213, 252, 254, 256, 260, 262, 263,
                               266, 268, 269, 271, 272, 273, 274, 275, 277, 278, 282, 284, 302, 403,
                               405, 501, 504, 508, 601, 605, 607, 609, 622, 624, 625, 1000};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  korvex::testing::QuietLink link;
  auto& [host, pad, events, control] = link;
  if (pad.connection == nullptr) return 0;

  // The card-transaction states read the terminal object; an empty one
  // answers every call with nothing.
  static korvex::JsonTerminal terminal{korvex::JsonTerminal::Config{}};
  control.terminalObject = &terminal;
  control.fState = kStates[data[0] % (sizeof(kStates) / sizeof(kStates[0]))];
  control.ChecksumMode = (data[1] & 1) ? 2 : 1;
  // The rest arrives in pieces whose sizes the input also chooses.
  size_t pos = 2;
  while (pos < size && pad.connection != nullptr) {
    const size_t piece = 1 + data[pos] % 32;
    ++pos;
    pad.connection->Send(
        std::string(reinterpret_cast<const char*>(data + pos), std::min(piece, size - pos)));
    pos += piece;
    host.RunFor(1 + piece % 7);
  }
  host.RunFor(70000);  // let every timer row run at least once
  return 0;
}
