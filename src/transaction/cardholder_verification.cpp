// Cardholder verification: the card's policy and PIN limits go to the PIN pad
// (C17, C18), the cardholder confirms the amount (C26) and enters the PIN
// (C02). It ends in STATE_PIN_DONE, where the first cryptogram may start.
#include <string>

#include "control/korvex_impl.h"
#include "link/framing.h"
#include "support/conversions.h"
#include "support/korvex_lang.h"
#include "transaction/amounts.h"

namespace korvex {

int16_t Korvex::EnterPIN() {
  const Impl::EntryScope scope(*impl_);
  return impl_->EnterPIN();
}

// The policy comes from the terminal object: without one bound there is
// nothing to send, and the call is refused.
int16_t Korvex::Impl::EnterPIN() {
  if (fState != STATE_CARD_DATA_READY || terminalObject == nullptr) return 1;
  NakCount = 0;
  SendC17();
  return 0;
}

void Korvex::Impl::SendC17() {
  SelectPolicy();
  std::string body = "C17";
  for (int16_t field : {3, 4, 5}) body += PolicyField(field);
  SendRequest(STATE_PIN_POLICY_SENT, body);
}

// The "0" before and "000" after fields 8 and 9 are part of the PIN pad's
// layout; the fields themselves are passed as the host wrote them.
void Korvex::Impl::SendC18() {
  const std::string f6 = PolicyField(6);
  const std::string f7 = PolicyField(7);
  const std::string f8 = PolicyField(8);
  const std::string f9 = PolicyField(9);
  SendRequest(STATE_PIN_LIMITS_SENT, "C18" + f6 + f7 + "0" + f8 + "000" + "0" + f9 + "000");
}

// The confirmation waits for the cardholder: no reply timeout.
void Korvex::Impl::SendC26() {
  const std::string amount =
      ConfirmationAmountText(txn.TransData.TransactionAmount, txn.TransData.CurrencyCode);
  fState = STATE_AMOUNT_CONFIRM_SENT;
  RaiseDebugEvent(10, "Summa kinnitamine");
  SendRequest(STATE_AMOUNT_CONFIRM_SENT,
              "C26" + amount + YesNoTexts(txn.TransData.LanguagePreference), 0);
}

// Bypass "2" lets the cardholder skip the PIN; an unanswered (null) question
// counts as not allowed. PIN entry takes the cardholder's time: no timeout.
void Korvex::Impl::SendC02() {
  const bool bypass = terminalObject->PINBypassAllowed().value_or(false);
  fState = STATE_PIN_SENT;
  RaiseDebugEvent(10, "Sisesta PIN");
  SendRequest(STATE_PIN_SENT,
              "C02" + ZeroPadNumber(1, 4) + ZeroPadNumber(1, 4) + (bypass ? "2" : "0"), 0);
}

void Korvex::Impl::ProcessC17(const std::string& Message) {
  if (CarryOutPendingWarmReset("Warm reset at ProcessC17")) return;
  switch (fState) {
    case STATE_PIN_POLICY_ACKED:
      if (MessageResult(Message) == "00") {
        SendC18();
      } else {
        ReportResultCode(100, MessageResult(Message));
      }
      break;
    default: RaiseInterfaceEvent(1, 12, StateReport("ProcessC17", Message)); break;
  }
}

void Korvex::Impl::ProcessC18(const std::string& Message) {
  if (CarryOutPendingWarmReset("Warm reset at ProcessC18")) return;
  switch (fState) {
    case STATE_PIN_LIMITS_ACKED:
      if (MessageResult(Message) == "00") {
        SendC26();
      } else {
        ReportResultCode(100, MessageResult(Message));
      }
      break;
    default: RaiseInterfaceEvent(1, 12, StateReport("ProcessC18", Message)); break;
  }
}

// Only the keys F3 and 0D confirm. Anything else (another key, the PIN pad's
// timeout "06", a failure) ends with Code 27: the host ends or restarts.
void Korvex::Impl::ProcessC26(const std::string& Message) {
  switch (fState) {
    case STATE_AMOUNT_CONFIRM_ACKED: {
      if (CarryOutPendingWarmReset("")) return;
      const std::string result = MessageResult(Message);
      if (result == "00") {
        const std::string key = Message.size() >= 8 ? Message.substr(6, 2) : std::string();
        if (key == "F3" || key == "0D") {
          SendC02();
          return;
        }
      } else if (result != "06") {
        ReportResultCode(100, result);
      }
      RaiseInterfaceEvent(1, 27, "");  // not confirmed
      break;
    }
    default: RaiseInterfaceEvent(1, 12, StateReport("ProcessC26", Message)); break;
  }
}

void Korvex::Impl::ProcessC02(const std::string& Message) {
  switch (fState) {
    case STATE_PIN_ACKED:
      fState = STATE_PIN_DONE;  // the PIN pad has left PIN entry, whatever the result
      if (CarryOutPendingWarmReset("")) return;
      if (MessageResult(Message) == "00") {
        ParseResponseData(txn.TransData, Message);
        RaiseInterfaceEvent(0, 1103, "Pin entered!");
        RaiseDebugEvent(10, "PIN OK.");
      } else {
        ReportResultCode(100, MessageResult(Message));
      }
      break;
    default: RaiseInterfaceEvent(1, 12, StateReport("ProcessC02", Message)); break;
  }
}

}  // namespace korvex
