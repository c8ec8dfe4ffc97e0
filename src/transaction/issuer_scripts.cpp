// The issuer's answer to the card: its scripts (C25, all of tag 71 before tag
// 72) and then its authentication data and response code (C21 with tags 91
// and 8A). A script of more than 240 bytes goes in two blocks: its first 240
// bytes, then all the rest.
#include <string>

#include "control/korvex_impl.h"
#include "link/framing.h"
#include "support/conversions.h"

namespace korvex {

namespace {
constexpr size_t kFirstBlockHexChars = 480;  // 240 bytes
}

void Korvex::Impl::SendC25() {
  const bool is71 = !txn.Script71Hex.empty();
  std::string& script = is71 ? txn.Script71Hex : txn.Script72Hex;
  std::string body = std::string("C25") + (is71 ? "71" : "72");
  if (txn.ScriptSplitPending) {  // the rest after the first 240 bytes
    body += "1" + std::string("91") + ZeroPadNumber(static_cast<int64_t>(script.size() / 2), 3) +
            script;
    script.clear();
    txn.ScriptSplitPending = false;
  } else if (script.size() > kFirstBlockHexChars) {
    body += "0" + std::string("81") + "240" + script.substr(0, kFirstBlockHexChars);
    script.erase(0, kFirstBlockHexChars);
    txn.ScriptSplitPending = true;
  } else {
    body += "0" + std::string("01") + ZeroPadNumber(static_cast<int64_t>(script.size() / 2), 3) +
            script;
    script.clear();
  }
  SendRequest(STATE_SCRIPT_SENT, body);
}

// An odd number of hex characters is announced by its whole bytes.
void Korvex::Impl::SendC21AuthResponse() {
  SendRequest(STATE_SCRIPT_ACKED,
              "C21029100" + ZeroPadNumber(static_cast<int64_t>(txn.IAD.size() / 2), 3) + txn.IAD +
                  "8A00002" + txn.ActionCode,
              5000);
}

// A failed script ("99") does not stop the transfer: what the card did with
// it is the issuer's concern, and the card reports it in its data.
void Korvex::Impl::ProcessC25(const std::string& Message) {
  const std::string result = MessageResult(Message);
  switch (fState) {
    case STATE_SCRIPT_ACKED:
      if (result != "00" && result != "99") {
        ReportResultCode(100, result);
      } else if (!txn.Script71Hex.empty() || !txn.Script72Hex.empty()) {
        SendC25();
      } else {
        SendC21AuthResponse();
      }
      break;
    default: RaiseInterfaceEvent(1, 12, StateReport("ProcessC25", Message)); break;
  }
}

}  // namespace korvex
