// The order of the card transaction and the cardholder's timed actions,
// shared by the card-transaction message groups.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "emulator/core/handler_table.h"

namespace korvex::emu {

// Statuses the card-transaction requests are refused with.
inline const std::string kStatusPreviousStep = "04";  // out of the transaction's order
inline const std::string kStatusChipError = "22";     // the card in the reader has no chip
inline const std::string kStatusTagNotFound = "59";   // a tag the card does not hold

CardSession& Txn(PadServices& pad);

// Refused with "04" when the transaction's step does not take the request
// (code as the handler table has it: "C00", "C010", "C20" ...).
std::optional<Rejection> StepRefusal(const std::string& code, PadServices& pad);

// "C23": a new transaction waiting for its card; swipe reading off.
void StartCardSession(PadServices& pad);
// "72": no transaction; swipe reading off, the cardholder stops.
void EndCardSession(PadServices& pad);

// The cardholder's next action, after delayUs (one pending at a time).
void CardholderAfter(PadServices& pad, int64_t delayUs, std::function<void()> action);
void CancelCardholder(PadServices& pad);

}  // namespace korvex::emu
