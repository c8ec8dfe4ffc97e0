// What the control keeps of the running card transaction besides the
// transaction record: the chosen policy, the host's decisions and what is
// still to be sent to the PIN pad.
#pragma once

#include <cstdint>
#include <string>

#include "transaction/trans_data.h"

namespace korvex {

struct TransactionFields {
  ::korvex::TransData TransData;
  int16_t PolicyIndex = 0;       // record of the terminal object's table 5 for this card
  uint8_t TerminalDecision = 0;  // GetFirstCrypto's decision, 0..2
  int16_t DecisionCode = 0;      // GetSecondCrypto's decision, 0..4
  std::string Script71Hex;       // issuer scripts still to be sent, as hex text
  std::string Script72Hex;
  bool ScriptSplitPending = false;  // the first 240 bytes of a script are out
  std::string IAD;                  // issuer authentication data (tag 91), hex text
  std::string ActionCode;           // authorisation response code (tag 8A), hex text
  std::string ServiceCode;          // three digits for the fallback check
  bool PanPolicyFound = false;      // the terminal object may set it; the control never reads it
};

}  // namespace korvex
