// Whatever a control sends, the emulated PIN pad must answer or refuse it
// without crashing: bytes arrive in pieces the input chooses, with time
// passing between them. One emulator (and its handler table) serves every
// input, each starting from a restart with the transcript off.
//
// Input: the first byte picks where the pad starts. Below 0x10 it starts at
// power-on: bits 0-1 its application (payment, loader, loader in download
// mode, payment), bit 2 a card in the reader, bit 3 a line at 115200 baud
// instead of 19200 (downloads run at 115200, the rest at 19200; at the other
// speed every byte arrives as garbage), with a cardholder who inserts the
// card. From 0x10 on it starts at one of the rest points a real run passed
// (fuzz/state_tour.h), on a line at its application's speed and with the
// cardholder of that moment (one who swipes, in the run's stripe read), so
// that a few bytes reach a card session or a download. Each further byte h:
//   below 0xEF  sends the next 1 + h % 24 bytes, after which 1 ms and 50 ms a
//               byte pass;
//   0xEF        sends the control's next write of that run, at its time:
//               the run goes on from the rest point the input started at
//               (the first one for a pad at power-on) past the later ones;
//   from 0xF0   a pause of (h - 0xEF) x 500 ms, the time a cardholder or the
//               pad's own timers take.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "emulator/core/emulator.h"
#include "emulator/core/router_front.h"
#include "example_terminal.h"
#include "state_tour.h"

namespace {

using namespace korvex;

constexpr uint8_t kFirstRest = 0x10;
constexpr uint8_t kReplay = 0xEF;
constexpr uint8_t kPause = 0xF0;
constexpr emu::PadApp kApps[] = {emu::PadApp::Payment, emu::PadApp::Loader, emu::PadApp::Download,
                                 emu::PadApp::Payment};

std::vector<fuzz::StateTour::PadRest>& Rests() {
  static std::vector<fuzz::StateTour::PadRest> rests;
  return rests;
}

emu::Emulator& Pad() {
  static emu::Emulator pad;
  pad.GetTranscript().enabled = false;
  return pad;
}

}  // namespace

// Before the first input, so that the control's run adds nothing to the
// coverage the inputs are judged by.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::DownloadDir dir;
  const auto terminal = fuzz::LoadExampleTerminal();
  fuzz::StateTour tour(*terminal, dir.path);
  tour.Run();
  Rests() = tour.TakeRestPoints();
  if (Rests().empty()) std::abort();  // the tour never reached the pad
  return 0;
}

namespace {

// Restarts the pad where the first byte says, connected and past the
// router's command; returns the rest point the run's replay starts from.
size_t Start(emu::Emulator& pad, uint8_t first, int64_t now) {
  const auto& rests = Rests();
  const bool atRest = first >= kFirstRest;
  const size_t walk = atRest ? (first - kFirstRest) % rests.size() : 0;
  emu::PadState state = atRest ? rests[walk].rest.pad.State() : emu::PadState{};
  if (!atRest) {
    state.app = kApps[first & 3];
    state.card.present = (first & 4) != 0;
  }
  const bool fastLine = atRest ? emu::AppBaud(state.app) == 115200 : (first & 8) != 0;
  pad.SetCardholder(atRest ? rests[walk].cardholder : emu::Cardholder{});
  pad.Restart(std::move(state));
  pad.Connect(now);
  pad.Receive(fastLine ? emu::kSetComm115200 : emu::kSetComm19200, now);
  if (atRest) pad.Resume(rests[walk].rest);
  return walk;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  // The pad's clock runs on across inputs; it must never go back.
  static int64_t now = 0;
  emu::Emulator& pad = Pad();
  const auto& rests = Rests();
  // The replay's place: a rest point and a write of what followed it.
  size_t walk = Start(pad, data[0], now);
  size_t write = 0;
  // Time passes and the pad's output is taken.
  static std::vector<std::string> output;  // kept, with its room
  const auto settle = [&](int64_t us) {
    now += us;
    pad.Poll(now);
    output.clear();
    pad.TakeOutput(now, output);
  };
  size_t pos = 1;
  while (pos < size) {
    const uint8_t op = data[pos++];
    if (op >= kPause) {
      settle((op - kPause + 1) * int64_t{500000});
    } else if (op == kReplay) {
      // One write a byte, so that what an input costs follows its length,
      // and noise can fall between any two writes of a real run.
      while (walk < rests.size() && write == rests[walk].next.size()) {
        ++walk;
        write = 0;
      }
      if (walk == rests.size()) continue;
      const auto& next = rests[walk].next[write++];
      now += next.gapUs;
      pad.Receive(next.bytes, now);
      settle(0);
    } else {
      const size_t piece = std::min<size_t>(1 + op % 24, size - pos);
      pad.Receive(std::string(reinterpret_cast<const char*>(data + pos), piece), now);
      settle(1000 + static_cast<int64_t>(piece) * 50000);  // microseconds
      pos += piece;
    }
  }
  settle(60000000);
  now += 1000;
  pad.Disconnect(now);
  // What the input made the pad keep (records, files, violations) goes now:
  // libFuzzer takes an input that ends with more allocations than frees for a
  // possible leak, runs it again and scans the whole heap.
  pad.Restart({});
  return 0;
}
