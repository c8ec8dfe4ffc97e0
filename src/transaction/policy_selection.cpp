// The card's policy from the host's terminal object: a PAN-range policy takes
// precedence over the application's; the policy id is then turned into the
// record number of table 5, whose fields go to the PIN pad before PIN entry.
#include <string>

#include "control/korvex_impl.h"

namespace korvex {

namespace {
constexpr int16_t kPolicyTable = 5;
}

// Only called with a terminal object bound (EnterPIN refuses without one). The
// object gets copies: whatever it writes into its arguments must not change
// the card data or the chosen record.
void Korvex::Impl::SelectPolicy() {
  TerminalObject& terminal = *terminalObject;
  std::string aid = txn.TransData.ApplicationId;
  int16_t country = txn.TransData.IssuerCountryCode;
  int16_t policy = terminal.GetAIDPolicyID(aid, country);
  std::string pan = txn.TransData.Pan;
  const int16_t panPolicy = terminal.GetPANPolicyID(pan, true, txn.PanPolicyFound);
  if (panPolicy >= 0) policy = panPolicy;
  if (policy < 0) policy = 0;
  txn.PolicyIndex = terminal.GetPolicyIndex(policy);
  RaiseDebugEvent(5, "PAN RANGE POLICY INDEX = " + std::to_string(txn.PolicyIndex));
}

// The call's own status is not looked at: the value is passed on as read.
std::string Korvex::Impl::PolicyField(int16_t field) {
  int16_t record = txn.PolicyIndex;
  std::string value;
  terminalObject->getTableField(kPolicyTable, record, field, value);
  return value;
}

}  // namespace korvex
