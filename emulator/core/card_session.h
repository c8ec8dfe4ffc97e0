// One card transaction as the pad follows it, from "C23" to the second
// cryptogram: where the conversation stands, the amount it is for, the
// card's data objects as they change, the issuer scripts and issuer data
// received. "C23" and "72" start it afresh.
#pragma once

#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "emulator/core/tag_values.h"

namespace korvex::emu {

enum class CardStep {
  Idle,             // no transaction: power-on or "72"
  CardEntry,        // "C23" taken: prompt, reader polls, swipes
  ChipStarting,     // "C00" taken, waiting for the card in the chip reader
  ChipStarted,      // "C00" answered: application selection may follow
  AppSelected,      // "C01" answered: card data, then the verification
  ActionCodesSet,   // "C17" answered
  LimitsSet,        // "C18" answered
  AmountAsked,      // "C26" taken: the cardholder decides
  AmountConfirmed,  // the cardholder confirmed the amount
  AmountRefused,    // the cardholder refused it
  PinEntry,         // "C02" taken: the cardholder enters the PIN
  PinDone,          // "C02" answered
  FirstAc,          // "C83" answered: scripts and issuer data may follow
  IssuerDataSet,    // "C21" with 91/8A answered
  SecondAc,         // "C84" answered
};

std::string CardStepName(CardStep step);

// An issuer script in blocks: a first block of 240 bytes may be followed by
// exactly one continuation.
struct ScriptTransfer {
  std::string tag{};  // "71" or "72"
  bool continuationOwed = false;
  bool failed = false;  // a block was answered with a failure status
};

struct CardSession {
  CardStep step = CardStep::Idle;
  bool swipeReading = false;
  std::string dateTime{};  // 12 digits of "C00"
  std::string amount{};    // 12 digits of minor units, from "C00"
  std::string currency{};  // 4 digits, from "C010"
  // The card's data objects for this transaction (tag key -> hex).
  TagValues tags{};
  bool firstAcDone = false;
  bool tvrRead = false;                   // "C20" read tag 95 before the first cryptogram
  bool tvrWritten = false;                // and "C21" wrote it back
  std::vector<ScriptTransfer> scripts{};  // in the order received
  std::string issuerAuthData{};           // tag 91
  std::string issuerArc{};                // tag 8A
  // The cardholder's next action (entry, amount answer, PIN), while pending.
  std::optional<uint64_t> cardholderTimer{};
};

}  // namespace korvex::emu
