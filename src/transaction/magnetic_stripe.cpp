// Beside the chip transaction: a card swipe read on its own (MagnetReader),
// and the fallback check (C22), which asks the PIN pad whether a card with a
// given service code must be read by its chip ("C") or may use its stripe
// ("M").
#include <string>

#include "control/korvex_impl.h"
#include "link/framing.h"
#include "support/conversions.h"
#include "transaction/prompts.h"

namespace korvex {

int16_t Korvex::MagnetReader() {
  const Impl::EntryScope scope(*impl_);
  return impl_->MagnetReader();
}
int16_t Korvex::CheckServiceCode(const std::string& ServiceCode) {
  const Impl::EntryScope scope(*impl_);
  return impl_->CheckServiceCode(ServiceCode);
}

// The swipe itself arrives as a card-reader message; its track 2 reaches the
// host as an EventType 5 event.
int16_t Korvex::Impl::MagnetReader() {
  if (fState != STATE_EMVAPP_READY) return 1;
  if (Winsock1->State() == sckConnected) {
    SendZ2(STATE_MAGNET_PROMPT_SENT, kSwipeCardPrompt, true);
  } else {
    ConnectRouter(STATE_CONNECT_MAGNET);
  }
  return 0;
}

// The code goes to the PIN pad as it is, so it must be three plain digits.
// During a chip start the code is only kept; the next C22 reply then shows
// the insert prompt again.
int16_t Korvex::Impl::CheckServiceCode(const std::string& ServiceCodeArg) {
  if (ServiceCodeArg.size() != 3 || !IsDigits(ServiceCodeArg)) return 7;
  switch (fState) {
    case STATE_CHIP_START_SENT:
    case STATE_CHIP_START_ACKED:
      txn.ServiceCode = ServiceCodeArg;
      ServiceCodeChecked = true;
      return 0;
    case STATE_IDLE:
    case STATE_EMVAPP_READY:
    case STATE_INIT_DONE:
      NakCount = 0;
      txn.ServiceCode = ServiceCodeArg;
      if (Winsock1->State() == sckConnected) {
        SendC22();
      } else {
        ConnectRouter(STATE_CONNECT_SERVICE_CODE);
      }
      return 0;
    default: return 1;
  }
}

void Korvex::Impl::SendC22() {
  SendRequest(STATE_SERVICE_CODE_SENT, "C22" + txn.ServiceCode);
}

// Result 20 ("use chip reader") means chip; 00 and 21 ("use mag stripe") mean
// the stripe may be used.
void Korvex::Impl::ProcessC22(const std::string& Message) {
  switch (fState) {
    case STATE_SERVICE_CODE_ACKED: {
      if (CarryOutPendingWarmReset("ProcessC22()")) return;
      const std::string result = MessageResult(Message);
      fState = STATE_EMVAPP_READY;
      if (ServiceCodeChecked) {
        ServiceCodeChecked = false;
        SendZ2(STATE_INSERT_PROMPT_SENT, kInsertCardPrompt, true);
      }
      if (result == "00" || result == "21") {
        RaiseInterfaceEvent(0, 1105, "M");
      } else if (result == "20") {
        RaiseInterfaceEvent(0, 1105, "C");
      } else {
        RaiseInterfaceEvent(1, 25, "FallbackCheck response = '" + result + "'");
      }
      break;
    }
    default: RaiseInterfaceEvent(1, 12, StateReport("ProcessC22", Message)); break;
  }
}

}  // namespace korvex
