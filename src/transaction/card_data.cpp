// Application selection and the card data: the PIN pad selects the card's
// application for amount and currency (C010 / C01), then the control reads the
// data objects it needs with tag requests (C20), here and after each
// cryptogram.
#include <string>

#include "control/korvex_impl.h"
#include "link/framing.h"
#include "support/conversions.h"
#include "transaction/amounts.h"

namespace korvex {

std::string Korvex::getTag(const std::string& Tag) {
  return korvex::getTag(impl_->txn.TransData, Tag);
}

// The cardholder may take as long as needed to choose an application: no
// reply timeout. The second 12-digit amount is always zero.
void Korvex::Impl::SendC010() {
  SendRequest(STATE_APP_SELECT_SENT,
              "C010" + AmountField(txn.TransData.TransactionAmount) + "000000000000" +
                  ZeroPadNumber(txn.TransData.CurrencyCode, 4),
              0);
}

void Korvex::Impl::SendC20(int16_t State, const std::string& TagList) {
  SendRequest(State, "C20" + TagList);
}

void Korvex::Impl::ProcessC01(const std::string& Message) {
  switch (fState) {
    case STATE_APP_SELECT_ACKED:
      if (CarryOutPendingWarmReset("")) return;
      if (MessageResult(Message) == "00") {
        ParseResponseData(txn.TransData, Message);
        SendC20(STATE_CARD_DATA_SENT, kCardDataTags);
      } else {
        ReportResultCode(100, MessageResult(Message));
      }
      break;
    default: RaiseInterfaceEvent(1, 12, StateReport("ProcessC01", Message)); break;
  }
}

// The tag list of each reply is fixed by the state that asked for it.
void Korvex::Impl::ProcessC20(const std::string& Message) {
  switch (fState) {
    case STATE_CARD_DATA_READY:  // the host now reads the card data and decides
      if (TagReplyParsed(Message, kCardDataTags, "TLV1")) {
        RaiseInterfaceEvent(0, 1102, "Track2 received");
      }
      break;
    case STATE_FIRST_AC_DATA_ACKED:
      if (TagReplyParsed(Message, kFirstCryptogramTags, "TLV2")) {
        fState = STATE_AUTHORISATION;
        RaiseInterfaceEvent(0, 1104, "Authorization!");
      }
      break;
    case STATE_TVR_READ_ACKED:  // blacklisted card: mark it before the first cryptogram
      if (TagReplyParsed(Message, kTvrTag, "TLV4")) SendC21TVR();
      break;
    case STATE_FINAL_DATA_ACKED:
      if (TagReplyParsed(Message, kFinalDataTags, "TLV3")) {
        fState = STATE_TRANSACTION_DONE;
        RaiseInterfaceEvent(0, 1106, "Transaction Completed!");
      }
      break;
    default: RaiseInterfaceEvent(1, 12, StateReport("ProcessC20", Message)); break;
  }
}

// A reply that does not parse keeps the state; the values read before the
// bad item stay stored.
bool Korvex::Impl::TagReplyParsed(const std::string& Message, const char* TagList,
                                  const char* label) {
  if (MessageResult(Message) != "00") {
    ReportResultCode(100, MessageResult(Message));
    return false;
  }
  if (!ParseTagData(txn.TransData, TagList, MessageData(Message))) {
    RaiseInterfaceEvent(1, 25, std::string("Invalid ") + label + ": Message='" + Message + "'");
    return false;
  }
  return true;
}

}  // namespace korvex
