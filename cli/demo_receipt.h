// The purchase as a receipt shows it, read back from the control with getTag.
#pragma once

#include <ostream>

#include "korvex/korvex.h"

namespace korvex::cli {

// One aligned line per item: application, card (PAN masked unless
// showCardData), expiry, sequence number, cryptogram information, counter,
// verification results, status information and response code.
void PrintReceipt(Korvex& control, bool showCardData, std::ostream& out);

// The card's last word on the purchase, from its cryptogram information.
struct PurchaseOutcome {
  bool approved;
  std::string text;  // e.g. "approved (cryptogram TC, 9F27 40, response code 3030)"
};
PurchaseOutcome OutcomeOf(Korvex& control);

}  // namespace korvex::cli
