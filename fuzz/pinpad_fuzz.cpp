// Whatever a control sends, the emulated PIN pad must answer or refuse it
// without crashing: bytes arrive in pieces the input chooses, with time
// passing between them. One emulator (and its handler table) serves every
// input, each starting from a restart at power-on, with the transcript off.
//
// Input: the first byte picks the pad: bits 0-1 its application (payment,
// loader, loader in download mode, payment), bit 2 a card in the reader, bit 3
// a line at 115200 baud instead of 19200 (downloads run at 115200, the rest at
// 19200; at the other speed every byte arrives as garbage). Each further byte
// h below 0xF0 sends the next 1 + h % 24 bytes, after which 1 ms and 50 ms a
// byte pass; from 0xF0 on it is a pause of (h - 0xEF) x 500 ms, the time a
// cardholder or the pad's own timers take.
#include <cstddef>
#include <cstdint>
#include <string>

#include "emulator/core/emulator.h"
#include "emulator/core/router_front.h"

namespace {

constexpr uint8_t kPause = 0xF0;
constexpr korvex::emu::PadApp kApps[] = {korvex::emu::PadApp::Payment, korvex::emu::PadApp::Loader,
                                         korvex::emu::PadApp::Download,
                                         korvex::emu::PadApp::Payment};

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
  state.app = kApps[data[0] & 3];
  state.card.present = (data[0] & 4) != 0;
  pad.Restart(std::move(state));
  pad.Connect(now);
  pad.Receive((data[0] & 8) ? korvex::emu::kSetComm115200 : korvex::emu::kSetComm19200, now);
  size_t pos = 1;
  while (pos < size) {
    const uint8_t op = data[pos++];
    if (op >= kPause) {
      now += (op - kPause + 1) * int64_t{500000};
      pad.Poll(now);
      pad.TakeOutput(now);
      continue;
    }
    const size_t piece = 1 + op % 24;
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
