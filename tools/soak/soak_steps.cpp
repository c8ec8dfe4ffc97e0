#include "tools/soak/soak_steps.h"

#include <random>

#include "cli/demo_pad.h"
#include "control/impl_access.h"
#include "control/korvex_impl.h"

namespace korvex::soak {

namespace {

emu::EmulatorConfig QuickPad() {
  emu::EmulatorConfig config;
  config.cardholder = cli::DemoCardholder(emu::CardEntry::Insert, false);
  config.delays = cli::DemoDelays(false);
  return config;
}

emu::PadState WithQuickCardRemoval(emu::PadState state) {
  state.card.removalDelayMs = cli::DemoCardRemovalMs(false);
  return state;
}

LineFaults Faults(const SoakOptions& options) {
  return {options.corruption, options.maxChunk, options.jitterMs};
}

std::string TimersAt(Korvex::Impl& impl) {
  return "state " + std::to_string(impl.fState) + ", reply timer " +
         (impl.TimeoutTimer->Enabled() ? std::to_string(impl.TimeoutTimer->Interval()) + " ms"
                                       : std::string("off")) +
         ", stall guard " + (impl.StallGuardArmed() ? "armed" : "off");
}

}  // namespace

SoakRig::SoakRig(const SoakOptions& options, uint32_t runSeed, emu::PadState state,
                 const JsonTerminal::Config& terminalConfig)
    : pad(host, QuickPad(), WithQuickCardRemoval(std::move(state))),
      line(host, pad, Faults(options), runSeed),
      terminal(terminalConfig) {
  host.Listen("router", 4001, line);
  ImplAccess::Of(control).Winsock1->SetRemoteHost("router");
  ImplAccess::Of(control).Winsock1->SetRemotePort(4001);
  std::mt19937 rng(runSeed ^ 0x5EEDu);
  if (std::uniform_real_distribution<double>(0, 1)(rng) < options.closeRate) {
    const int64_t at = std::uniform_int_distribution<int64_t>(0, 4000)(rng);
    host.Schedule(at, [this] { line.CloseLine(); });
  }
}

StepResult RunStep(SoakRig& rig, const std::string& title, const std::function<int16_t()>& call,
                   int32_t code, int64_t hangBoundMs) {
  size_t next = rig.events.seen.size();  // events raised inside the call count
  const int16_t status = call();
  if (status != 0) return {StepEnd::Error, "refused " + std::to_string(status), title};
  StepResult result;
  bool ended = false;
  const auto settled = [&] {
    const size_t before = next;
    for (; next < rig.events.seen.size() && !ended; ++next) {
      const SeenEvent& e = rig.events.seen[next];
      if (e.type == 0 && e.code == code) {
        ended = true;
      } else if (e.type == 1 || e.type == 3) {
        result = {StepEnd::Error, std::to_string(e.type) + "/" + std::to_string(e.code), e.text};
        ended = true;
      }
    }
    return ended || next != before;
  };
  // Every event starts the hang bound afresh. A bound without one is a hang
  // only when the control has no timer running either: over a slow line a
  // download goes minutes without an event while each block re-arms the reply
  // timer. A timer that keeps the control busy for ever is caught by the cap.
  const int64_t startMs = rig.host.NowMs();
  while (!ended) {
    if (rig.host.RunUntil(settled, hangBoundMs)) continue;
    Korvex::Impl& impl = ImplAccess::Of(rig.control);
    const bool timed = impl.TimeoutTimer->Enabled() || impl.StallGuardArmed();
    if (!timed) return {StepEnd::Hung, "", title + ": " + TimersAt(impl)};
    if (rig.host.NowMs() - startMs >= kStepCapBounds * hangBoundMs) {
      return {StepEnd::Hung, "",
              title + ": no end after " + std::to_string(kStepCapBounds) + " bounds, " +
                  TimersAt(impl)};
    }
  }
  return result;
}

}  // namespace korvex::soak
