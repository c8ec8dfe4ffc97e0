// The issuer's side of an online authorisation. The demo has no acquirer to
// ask, so it plays the issuer itself and approves every purchase.
#pragma once

#include <string>

namespace korvex::cli {

struct IssuerAnswer {
  std::string script71;    // issuer script for tag 71, binary
  std::string iad;         // issuer authentication data (tag 91), hex
  std::string actionCode;  // authorisation response code (tag 8A), hex
};

// An approval: response code "00" (hex 3030), made-up authentication data
// and a short made-up script.
inline IssuerAnswer SimulatedApproval() {
  // Made up for the demo: script identifier 00000001, then one command
  // (PIN change/unblock header 84 24 00 00, no data). No card checks it; the
  // pad only has to carry it to the card.
  const char script[] = {'\x9F', '\x18', '\x04', '\x00', '\x00', '\x00', '\x01',
                         '\x86', '\x05', '\x84', '\x24', '\x00', '\x00', '\x00'};
  return {std::string(script, sizeof script), "1122334455667788", "3030"};
}

}  // namespace korvex::cli
