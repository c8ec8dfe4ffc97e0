// Whatever a control sends, the emulated PIN pad must answer or refuse it
// without crashing: bytes arrive in pieces the input chooses, with time
// passing between them. One emulator (and its handler table) serves every
// input, each starting from a restart at power-on, with the transcript off.
#include <cstddef>
#include <cstdint>
#include <string>

#include "emulator/core/emulator.h"

namespace {

korvex::emu::Emulator& Pad() {
  static korvex::emu::Emulator pad;
  pad.GetTranscript().enabled = false;
  return pad;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  // The pad's clock runs on across inputs; it must never go back.
  static int64_t now = 0;
  korvex::emu::Emulator& pad = Pad();
  korvex::emu::PadState state;
  state.app = (data[0] & 1) ? korvex::emu::PadApp::Loader : korvex::emu::PadApp::Payment;
  state.card.present = (data[0] & 2) != 0;
  pad.Restart(std::move(state));
  pad.Connect(now);
  pad.Receive("SETCOMM19200,n,8,1  ", now);
  size_t pos = 1;
  while (pos < size) {
    const size_t piece = 1 + data[pos] % 24;
    ++pos;
    pad.Receive(std::string(reinterpret_cast<const char*>(data + pos), std::min(piece, size - pos)),
                now);
    pos += piece;
    now += 1000 + static_cast<int64_t>(piece) * 50000;  // microseconds
    pad.Poll(now);
    pad.TakeOutput(now);
  }
  now += 60000000;
  pad.Poll(now);
  pad.TakeOutput(now);
  now += 1000;
  pad.Disconnect(now);
  // What the input made the pad keep (records, files, violations) goes now:
  // libFuzzer takes an input that ends with more allocations than frees for a
  // possible leak, runs it again and scans the whole heap.
  pad.Restart({});
  return 0;
}
