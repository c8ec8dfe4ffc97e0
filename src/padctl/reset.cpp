// Warm and cold reset, and ResetConnection, their common end.
#include <string>

#include "control/korvex_impl.h"

namespace korvex {

int16_t Korvex::WarmReset() {
  const Impl::EntryScope scope(*impl_);
  return impl_->WarmReset();
}
void Korvex::ColdReset() {
  const Impl::EntryScope scope(*impl_);
  impl_->ColdReset();
}

// Brings the PIN pad back to its idle screen through the protocol. When the
// PIN pad is busy the reset is remembered; the next handled message does it.
int16_t Korvex::Impl::WarmReset() {
  RaiseDebugEvent(4, "Warm Reset request...");
  DoEvents();  // a pending reply may still be processed first

  if (Winsock1->State() != sckConnected) {
    RaiseDebugEvent(6, "Warm Reset by WinSock.State=" + std::to_string(Winsock1->State()));
    WarmResetComplete();
    return 0;
  }
  if (fState == STATE_IDLE) {
    RaiseDebugEvent(6, "Warm Reset by State=STATE_IDLE");
    Send72(STATE_WARM_RESET_SENT);
    return 0;
  }
  if (UserActionNeeded()) {
    RaiseDebugEvent(6, "Warm Reset by UseraActionNeeded=True");
    WarmResetPending = true;
    return 31;
  }
  if (TimeoutTimer->Enabled()) {
    RaiseDebugEvent(6, "Warm Reset by TimeoutTimer.Enabled");
    WarmResetPending = true;
    return 0;
  }
  WarmResetPending = false;
  RaiseDebugEvent(6, "Warm Reset by common case");
  Send72(STATE_WARM_RESET_SENT);
  return 0;
}

void Korvex::Impl::ColdReset() { ResetConnection(); }

void Korvex::Impl::Send72(int16_t State) { SendRequest(State, "72"); }

// The cardholder is expected to act: chip application running, PIN entry,
// card removal.
bool Korvex::Impl::UserActionNeeded() const {
  return fState == STATE_CHIP_START_ACKED || fState == STATE_PIN_ACKED ||
         fState == STATE_WARM_RESET_CARD_REMOVAL_ACKED;
}

bool Korvex::Impl::CarryOutPendingWarmReset(const std::string& Text) {
  if (!WarmResetPending) return false;
  RaiseInterfaceEvent(1, 27, Text);
  WarmReset();
  return true;
}

void Korvex::Impl::WarmResetComplete() {
  StopTimer();
  RaiseInterfaceEvent(0, 1200, "Warm Reset Complete");
  RaiseDebugEvent(6, "************** Warm Reset completed *************");
  DoEvents();
  ResetConnection();
}

void Korvex::Impl::ResetConnection() {
  ChecksumMode = 1;
  RetryCount = 0;
  ServiceCodeChecked = false;
  StopTimer();
  Winsock1->Close();
  DoEvents();
  HostIndex = -1;
  ReceiveBuffer.clear();
  LastSentMessage.clear();
  WarmResetPending = false;
  NakCount = 0;
  fState = STATE_IDLE;
}

}  // namespace korvex
