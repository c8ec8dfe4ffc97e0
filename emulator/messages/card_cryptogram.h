// The card's cryptograms, as far as the pad's replies need them: the ATC
// moves on with each first cryptogram, the unpredictable number and the
// cryptogram itself are derived from the transaction data. The cryptogram is
// a deterministic hash, not a real application cryptogram: no key is
// involved and no issuer could verify it; it only changes whenever the data
// it covers changes, which is all a test of the control can observe.
#pragma once

#include <string>

#include "emulator/core/card_profile.h"
#include "emulator/core/card_session.h"

namespace korvex::emu {

// First GENERATE AC with the cryptogram information `cid`: ATC + 1 (kept on
// the card too), 9F37, 9F26 and 9F27.
void GenerateFirstAc(CardSession& t, CardProfile& card, const std::string& cid);
// Second GENERATE AC: a new 9F26 over the issuer data as well, and 9F27.
void GenerateSecondAc(CardSession& t, const CardProfile& card, const std::string& cid);

}  // namespace korvex::emu
