// What one chip purchase costs the control: a whole purchase from
// StartTransaction to "Transaction Completed!" against the emulated PIN pad
// on SimHost, with only the time spent inside the control counted (the
// emulator and the simulated host run on the same thread and are left out).
// Reported per transaction and per frame the control received.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "control/korvex_impl.h"
#include "control_clock.h"
#include "emulator/adapters/sim_pinpad.h"
#include "harness/outcome_events.h"
#include "korvex/json_terminal.h"

namespace korvex::bench {
namespace {

struct PurchaseRig {
  SimHost sim;
  ControlClock clock;
  ClockedHost host{sim, clock};
  testing::OutcomeEvents events;
  emu::SimPinPad pad{sim};
  std::unique_ptr<JsonTerminal> terminal;
  Korvex::Impl control{host, events};

  PurchaseRig() {
    std::string error;
    terminal = JsonTerminal::Load(KORVEX_SOURCE_DIR "/examples/terminal.json", error);
    if (!terminal) throw std::runtime_error(error);
    pad.Listen("router", 4001);
    control.Winsock1->SetRemoteHost("router");
    control.Winsock1->SetRemotePort(4001);
    control.setTerminalObject(*terminal);
    Step([&] { return control.PerformConnectionTest(1); }, 1107);
  }

  // One public call and the exchange it starts, up to its success event.
  void Step(const std::function<int16_t()>& call, int32_t successCode) {
    events.success.reset();
    if (clock.Measure(call) != 0) throw std::runtime_error("call refused");
    const bool done = sim.RunUntil(
        [&] { return events.success == successCode || events.error.has_value(); }, 60000);
    if (!done || events.error) throw std::runtime_error("step did not complete");
  }

  void Purchase() {
    Step([&] { return control.StartTransaction("261206120000", 12.50, 978, false); }, 1102);
    Step([&] { return control.EnterPIN(); }, 1103);
    Step([&] { return control.GetFirstCrypto(0, false); }, 1104);
    Step([&] { return control.GetSecondCrypto(0, "", "", "1122334455667788", "3030"); }, 1106);
  }

  // Frames the pad sent since the transcript was last cleared.
  int64_t FramesFromPad() const {
    int64_t n = 0;
    for (const auto& e : pad.Core().GetTranscript().Entries()) {
      n += e.direction == emu::Direction::FromPad && !e.bytes.empty() && e.bytes[0] == '\x02';
    }
    return n;
  }
};

void BM_ChipPurchase(benchmark::State& state) {
  PurchaseRig rig;
  int64_t frames = 0;
  double controlSeconds = 0;
  for (auto _ : state) {
    rig.pad.Core().GetTranscript().Clear();
    rig.sim.ClearWireLog();
    rig.clock.Reset();
    rig.Purchase();
    const double spent = std::chrono::duration<double>(rig.clock.Spent()).count();
    state.SetIterationTime(spent);
    controlSeconds += spent;
    frames += rig.FramesFromPad();
  }
  const auto n = static_cast<double>(state.iterations());
  state.counters["frames/purchase"] = static_cast<double>(frames) / n;
  state.counters["us/frame"] = frames ? controlSeconds * 1e6 / static_cast<double>(frames) : 0;
}
BENCHMARK(BM_ChipPurchase)->UseManualTime()->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace korvex::bench
