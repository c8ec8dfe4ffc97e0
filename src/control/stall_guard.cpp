// The stall guard. A few replies, read as the protocol has them, stop the
// reply timer and leave the control waiting for a PIN pad that will send
// nothing more (see the README's list of differences). Rather than patch each
// such place, a second timer watches every wait: when the control waits for
// the PIN pad and no reply timer runs for StallGuardMs, it reports "PinPad
// timeout" and drops the connection, so that a reset or a new connection test
// can follow. Wherever the reply timer runs, the guard is off.
#include <string>

#include "control/korvex_impl.h"

namespace korvex {

namespace {

// Whether the control, in this state, waits for something from the PIN pad;
// in these it waits for the host's next call instead. A wait for the
// cardholder (PIN entry, a swipe) is a wait for the PIN pad as well: if its
// reply is lost on the line, nothing else would ever end the wait. 256 waits
// for the card data and stays when it has come: the host's turn once
// "Track2 received" (1102) was its last event.
bool WaitsForPinPad(int16_t State, int32_t LastEventCode) {
  switch (State) {
    case STATE_CARD_DATA_READY: return LastEventCode != 1102;
    case STATE_IDLE:
    case STATE_TERMINAL_SET:
    case STATE_EMVAPP_READY:
    case STATE_INIT_DONE:
    case STATE_PIN_DONE:
    case STATE_AUTHORISATION:
    case STATE_TRANSACTION_DONE:
    case STATE_RESULT_ERROR: return false;
    default: return true;
  }
}

}  // namespace

int32_t Korvex::getStallGuardMs() {
  return impl_->StallGuardMs;
}
int16_t Korvex::setStallGuardMs(int32_t Ms) {
  const Impl::EntryScope scope(*impl_);
  return impl_->SetStallGuardMs(Ms);
}

int16_t Korvex::Impl::SetStallGuardMs(int32_t Ms) {
  if (Ms < 0) return 7;
  StallGuardMs = Ms;
  StallGuardTimer->SetEnabled(false);  // a wait under way is timed afresh
  return 0;
}

// In 252 the timer runs, but its expiry does nothing (the cardholder may take
// any time): a C00 reply lost on the line would be waited for for ever.
bool Korvex::Impl::Stalled() const {
  const bool replyTimerRuns =
      TimeoutTimer->Enabled() && TimeoutTimer->Interval() >= 1 && fState != STATE_CHIP_START_ACKED;
  return StallGuardMs > 0 && Winsock1->State() == sckConnected && !replyTimerRuns &&
         WaitsForPinPad(fState, LastEventCode);
}

bool Korvex::Impl::StallGuardArmed() const {
  return StallGuardTimer->Enabled();
}

void Korvex::Impl::UpdateStallGuard() {
  if (!Stalled()) {
    StallGuardTimer->SetEnabled(false);
    return;
  }
  if (StallGuardTimer->Enabled() && StallGuardState == fState) return;  // the same wait
  StallGuardState = fState;
  StallGuardTimer->SetEnabled(false);
  StallGuardTimer->SetInterval(StallGuardMs);
  StallGuardTimer->SetEnabled(true);
}

// Leaves the control as a failed download preparation does: disconnected, in
// STATE_TERMINAL_SET with the terminal object bound (else STATE_IDLE), so that
// PerformConnectionTest, WarmReset or ColdReset can follow. The report comes
// last, so that a host reacting inside it finds the control ready.
void Korvex::Impl::OnStallGuard() {
  StallGuardTimer->SetEnabled(false);
  if (!Stalled()) return;  // a late tick
  const char* name = StateName(fState);
  RaiseDebugEvent(8, "No reply and no timer for " + std::to_string(StallGuardMs) +
                         " ms at State=" + std::to_string(fState) +
                         (*name != '\0' ? std::string(" (") + name + ")" : std::string()));
  ResetConnection();
  if (terminalObject != nullptr) fState = STATE_TERMINAL_SET;
  RaiseInterfaceEvent(1, 17, "PinPad timeout");
}

}  // namespace korvex
