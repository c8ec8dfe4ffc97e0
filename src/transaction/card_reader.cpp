// Card-reader requests and replies: the chip-reader status (I050 / I05) and
// the wait for the card's removal (I02), in card entry and in the warm reset.
#include <string>

#include "control/korvex_impl.h"
#include "link/framing.h"
#include "transaction/prompts.h"

namespace korvex {

void Korvex::Impl::SendI050(int16_t State) {
  SendRequest(State, "I050");
}

// The reply comes when the card is taken out, which may take any time.
void Korvex::Impl::SendI02(int16_t State) {
  fState = State;
  RaiseDebugEvent(10, "Eemalda kaart");
  SendMessage(Framed("I02"), 0, 1);
}

void Korvex::Impl::ProcessI05(const std::string& Message) {
  if (WarmResetPending) {
    WarmReset();
    return;
  }
  // Character 5: "0" no card in the chip reader, "1" card present; then ETX.
  if (Message.size() < 6 || (Message[4] != '0' && Message[4] != '1') || Message[5] != ETX) {
    RaiseInterfaceEvent(1, 25, StateReport("ProcessI05", Message));
    return;
  }
  const bool cardPresent = Message[4] == '1';
  switch (fState) {
    case STATE_CARD_POLL_ACKED:
      if (cardPresent) {
        DoEvents();
        SendQ4(STATE_SWIPE_OFF_SENT, false);  // its ACK starts the chip application
      } else {
        RestartTimer(1000);  // the expiry polls the chip reader again
      }
      break;
    case STATE_WARM_RESET_I050_ACKED:
      if (cardPresent) {
        SendI02(STATE_WARM_RESET_CARD_REMOVAL);  // wait until the card is taken out
      } else {
        Send72(STATE_WARM_RESET_SENT);
        WarmResetComplete();
      }
      break;
    default: RaiseInterfaceEvent(1, 12, StateReport("ProcessI05", Message)); break;
  }
}

void Korvex::Impl::ProcessI02(const std::string& Message) {
  switch (fState) {
    case STATE_CARD_REMOVAL_ACKED:  // the reader is empty: prompt for a card
      if (UseMagText == "True") {
        SendQ4(STATE_SWIPE_ON_SENT, true);
      } else {
        SendZ2(STATE_INSERT_PROMPT_SENT, kInsertCardPrompt, true);
      }
      break;
    case STATE_WARM_RESET_CARD_REMOVAL_ACKED: WarmResetComplete(); break;
    default: RaiseInterfaceEvent(1, 12, StateReport("ProcessI02", Message)); break;
  }
}

}  // namespace korvex
