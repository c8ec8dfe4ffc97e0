// The first and second cryptogram. The host decides how the terminal wants to
// go on (GetFirstCrypto); the card answers with its first cryptogram (C83) and
// the control reads the data back. After the issuer's answer
// (GetSecondCrypto) the scripts and the response go to the card, then the
// second cryptogram (C84) and the final data. A blacklisted card first gets
// the exception-file bit set in its TVR.
#include <cstdio>
#include <string>

#include "control/korvex_impl.h"
#include "link/framing.h"
#include "support/conversions.h"

namespace korvex {

int16_t Korvex::GetFirstCrypto(uint8_t TerminalDecision, bool Blacklisted) {
  const Impl::EntryScope scope(*impl_);
  return impl_->GetFirstCrypto(TerminalDecision, Blacklisted);
}
int16_t Korvex::GetSecondCrypto(int16_t DecisionCode, const std::string& Script71,
                                const std::string& Script72, const std::string& IAD,
                                const std::string& ActionCode) {
  const Impl::EntryScope scope(*impl_);
  return impl_->GetSecondCrypto(DecisionCode, Script71, Script72, IAD, ActionCode);
}

// Decisions above 2 are taken as 1.
int16_t Korvex::Impl::GetFirstCrypto(uint8_t TerminalDecisionArg, bool Blacklisted) {
  if (fState != STATE_PIN_DONE) return 1;
  txn.TerminalDecision = TerminalDecisionArg > 2 ? 1 : TerminalDecisionArg;
  NakCount = 0;
  if (Blacklisted) {
    SendC20(STATE_TVR_READ_SENT, kTvrTag);  // the TVR is read, marked and written back
  } else {
    SendC83();
  }
  return 0;
}

int16_t Korvex::Impl::GetSecondCrypto(int16_t DecisionCodeArg, const std::string& Script71,
                                      const std::string& Script72, const std::string& IADArg,
                                      const std::string& ActionCodeArg) {
  NakCount = 0;
  if (fState != STATE_AUTHORISATION) return 1;
  if (DecisionCodeArg < 0 || DecisionCodeArg > 4) return 7;
  txn.IAD = IADArg;
  txn.ActionCode = ActionCodeArg;
  txn.Script71Hex = AsciiToHex(Script71);
  txn.Script72Hex = AsciiToHex(Script72);
  txn.DecisionCode = DecisionCodeArg;
  if (txn.Script71Hex.empty() && txn.Script72Hex.empty()) {
    SendC21AuthResponse();
  } else {
    txn.ScriptSplitPending = false;
    SendC25();
  }
  return 0;
}

void Korvex::Impl::SendC83() {
  SendRequest(STATE_FIRST_AC_SENT, "C83" + std::to_string(txn.TerminalDecision), 5000);
}

// TVR byte 1, bit 5 (0x10): the card is on the terminal exception file. The
// marked TVR is also what the host reads back as tag 95.
void Korvex::Impl::SendC21TVR() {
  std::string& tvr = txn.TransData.TerminalVerificationResults;
  char byte[3];
  std::snprintf(byte, sizeof byte, "%02X",
                static_cast<unsigned>(HexToLong(tvr.substr(0, 2)) | 0x10) & 0xFFu);
  tvr = byte + DropLeft(tvr, 2);
  SendRequest(STATE_TVR_WRITE_SENT, "C21019500005" + tvr, 5000);
}

// 271 doubles as "C84 sent" on the second-cryptogram path.
void Korvex::Impl::SendC84() {
  SendRequest(STATE_TVR_READ_ACKED, "C84" + std::to_string(txn.DecisionCode), 5000);
}

void Korvex::Impl::ProcessC83(const std::string& Message) {
  switch (fState) {
    case STATE_FIRST_AC_ACKED:
      if (MessageResult(Message) == "00") {
        ParseResponseData(txn.TransData, Message);
        SendC20(STATE_FIRST_AC_DATA_SENT, kFirstCryptogramTags);
      } else {
        ReportResultCode(100, MessageResult(Message));
      }
      break;
    default: RaiseInterfaceEvent(1, 12, StateReport("ProcessC83", Message)); break;
  }
}

// Two writes answer with C21: the marked TVR (then the first cryptogram) and
// the issuer's response (then the second).
void Korvex::Impl::ProcessC21(const std::string& Message) {
  const std::string result = MessageResult(Message);
  switch (fState) {
    case STATE_TVR_WRITE_ACKED:
      if (result == "00") {
        SendC83();
      } else {
        ReportResultCode(100, result);
      }
      break;
    case STATE_AUTH_RESPONSE_ACKED:
      if (result == "00") {
        SendC84();
      } else {
        ReportResultCode(100, result);
      }
      break;
    default: RaiseInterfaceEvent(1, 12, StateReport("ProcessC21", Message)); break;
  }
}

// 272 is "awaiting C84" on the second-cryptogram path.
void Korvex::Impl::ProcessC84(const std::string& Message) {
  switch (fState) {
    case STATE_TVR_WRITE_SENT:
      if (MessageResult(Message) == "00") {
        ParseResponseData(txn.TransData, Message);
        SendC20(STATE_TVR_WRITE_ACKED, kFinalDataTags);  // 273: the final data request
      } else {
        ReportResultCode(100, MessageResult(Message));
      }
      break;
    default: RaiseInterfaceEvent(1, 12, StateReport("ProcessC84", Message)); break;
  }
}

}  // namespace korvex
