// Starting a payment and bringing a card in: the PIN pad is reset to card
// entry, the cardholder is prompted, the chip reader is polled (or a swipe
// arrives), and the chip application is started with the amount (C00).
#include <cmath>
#include <string>

#include "control/korvex_impl.h"
#include "link/framing.h"
#include "support/conversions.h"
#include "support/emv_common.h"
#include "transaction/amounts.h"

namespace korvex {

int16_t Korvex::StartTransaction(const std::string& DateTime, double Amount, int16_t CurrencyCode,
                                 bool UseMag) {
  const Impl::EntryScope scope(*impl_);
  return impl_->StartTransaction(DateTime, Amount, CurrencyCode, UseMag);
}
int16_t Korvex::ChangeTransactionAmount(double Amount) {
  const Impl::EntryScope scope(*impl_);
  return impl_->ChangeTransactionAmount(Amount);
}

// The date and time go to the PIN pad as they are, so they must be 12 plain
// digits: IsNumeric would also pass " +1234567890" or "1234567890.5", which
// the PIN pad could not read. An amount that is not finite has no minor units.
int16_t Korvex::Impl::StartTransaction(const std::string& DateTime, double Amount,
                                       int16_t CurrencyCode, bool UseMag) {
  if (DateTime.size() != 12 || !IsDigits(DateTime) || !std::isfinite(Amount)) return 7;
  UseMagText = UseMag ? "True" : "False";
  RaiseDebugEvent(8,
                  "\xA4\xA4\xA4\xA4\xA4\xA4\xA4\xA4\xA4 Transaction Started... "
                  "\xA4\xA4\xA4\xA4\xA4\xA4\xA4\xA4\xA4");
  ClearTransData(txn.TransData);
  txn.TransData.TransactionDateTime = DateTime;
  txn.TransData.TransactionAmount = Amount;
  txn.TransData.CurrencyCode = CurrencyCode;
  // No state check: a call in the middle of another exchange starts over.
  if (Winsock1->State() != sckConnected) {
    ConnectRouter(STATE_CONNECT_TRANSACTION);
  } else {
    SendC23();
  }
  return 0;
}

int16_t Korvex::Impl::ChangeTransactionAmount(double Amount) {
  if (fState != STATE_CARD_DATA_READY) return 1;
  if (!std::isfinite(Amount)) return 7;
  RaiseDebugEvent(8,
                  "\xA4\xA4\xA4\xA4\xA4\xA4\xA4\xA4\xA4 Transaction Amount Changed... "
                  "\xA4\xA4\xA4\xA4\xA4\xA4\xA4\xA4\xA4");
  txn.TransData.TransactionAmount = Amount;
  SendC00();  // the chip application starts over with the new amount
  return 0;
}

void Korvex::Impl::SendC23() {
  SendRequest(STATE_CARD_RESET_SENT, "C23");
}

void Korvex::Impl::SendQ4(int16_t State, bool SwipeOn) {
  SendRequest(State, SwipeOn ? "Q40" : "Q41");
}

// The display takes 32 characters; 0x1A clears it first.
void Korvex::Impl::SendZ2(int16_t State, const std::string& Text, bool ClearFirst) {
  SendRequest(State, std::string("Z2") + (ClearFirst ? "\x1A" : "") + Text.substr(0, 32));
}

void Korvex::Impl::SendC00() {
  RaiseInterfaceEvent(0, 1101, "Card Inserted!");
  RaiseDebugEvent(10, "Kaart sisestatud!");
  SendRequest(STATE_CHIP_START_SENT, "C0000101" + txn.TransData.TransactionDateTime +
                                         AmountField(txn.TransData.TransactionAmount));
}

void Korvex::Impl::ProcessC23(const std::string& Message) {
  if (CarryOutPendingWarmReset("Warm reset at ProcessC23")) return;
  switch (fState) {
    case STATE_CARD_RESET_ACKED:
      if (MessageResult(Message) == "00") {
        SendI02(STATE_CARD_REMOVAL_SENT);  // answered once no card is in the reader
      } else {
        ReportResultCode(100, MessageResult(Message));
      }
      break;
    default: RaiseInterfaceEvent(1, 12, StateReport("ProcessC23", Message)); break;
  }
}

void Korvex::Impl::ProcessC00(const std::string& Message) {
  if (WarmResetPending) {
    RaiseInterfaceEvent(1, 27, "Warm reset at ProcessC00()");
    // The reply ends the chip start's wait for the cardholder. Left in 252,
    // WarmReset would put the reset off again, and no further reply comes.
    if (fState == STATE_CHIP_START_ACKED) fState = STATE_CHIP_START_SENT;
    WarmReset();
    return;
  }
  switch (fState) {
    case STATE_CHIP_START_ACKED: {
      const std::string result = MessageResult(Message);
      if (result == "00") {
        ParseResponseData(txn.TransData, Message);
        RaiseDebugEvent(10, "ICC Rakendus k\xE4ivitatud.");
        SendC010();
      } else if (result == "06") {  // no card came in time: prompt again
        DoEvents();
        SendQ4(STATE_SWIPE_ON_SENT, true);
        RaiseDebugEvent(8, "Waiting for card...");
      } else {
        ReportResultCode(100, result);
      }
      break;
    }
    default: RaiseInterfaceEvent(1, 12, StateReport("ProcessC00", Message)); break;
  }
}

// The track message kept by the card-reader handler: track 2 runs from
// position 5 to the first FS.
bool Korvex::Impl::ProcessTrack2Msg() {
  const size_t fs = LastTrack2Message.find(FS, 4);
  if (fs == std::string::npos || fs == 4) {
    RaiseInterfaceEvent(1, 25, StateReport("ProcessTrack2Msg", LastTrack2Message));
    return false;
  }
  const std::string track2 = CleanTrack2(LastTrack2Message.substr(4, fs - 4));
  fState = STATE_IDLE;
  RaiseInterfaceEvent(5, 0, track2);
  return true;
}

}  // namespace korvex
