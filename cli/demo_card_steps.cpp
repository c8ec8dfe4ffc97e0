// The demo's card steps: a chip purchase with PIN approved by the issuer the
// demo plays, a stripe read, and the fallback check of two service codes.
#include <cstdio>

#include "cli/card_data.h"
#include "cli/demo_issuer.h"
#include "cli/demo_pad.h"
#include "cli/demo_receipt.h"
#include "cli/demo_session.h"
#include "cli/local_date_time.h"

namespace korvex::cli {

namespace {

// Generous even with --pace, where the cardholder takes a few seconds.
constexpr std::chrono::seconds kLimit(30);

constexpr double kAmount = 12.50;
constexpr int16_t kCurrency = 978;

// The amount and currency, joined by `between`.
std::string AmountText(const char* between) {
  char text[48];
  std::snprintf(text, sizeof text, "%.2f%s%d", kAmount, between, kCurrency);
  return text;
}

// The three digits after the separator and the four-digit expiry.
std::string ServiceCodeOf(const std::string& track2) {
  const size_t separator = track2.find('=');
  if (separator == std::string::npos || track2.size() < separator + 8) return "";
  return track2.substr(separator + 5, 3);
}

}  // namespace

bool DemoSession::Purchase() {
  const auto start = [&] {
    return control_->StartTransaction(LocalDateTime(), kAmount, kCurrency, false);
  };
  const auto enterPin = [&] { return control_->EnterPIN(); };
  const auto firstCrypto = [&] { return control_->GetFirstCrypto(0, false); };
  if (!Step("StartTransaction " + AmountText(" ") + " (chip card)", start, {0, 1102}, kLimit) ||
      !Step("EnterPIN", enterPin, {0, 1103}, kLimit) ||
      !Step("GetFirstCrypto", firstCrypto, {0, 1104}, kLimit)) {
    return false;
  }
  const IssuerAnswer issuer = SimulatedApproval();
  out_ << "issuer (played by the demo): approved, response code " << issuer.actionCode << ", IAD "
       << issuer.iad << ", a " << issuer.script71.size() << "-byte script for tag 71\n";
  const auto secondCrypto = [&] {
    return control_->GetSecondCrypto(0, issuer.script71, "", issuer.iad, issuer.actionCode);
  };
  if (!Step("GetSecondCrypto", secondCrypto, {0, 1106}, kLimit)) return false;

  out_ << "-- receipt\n";
  PrintReceipt(*control_, options_.showCardData, out_);
  const PurchaseOutcome outcome = OutcomeOf(*control_);
  purchase_ = AmountText(" in currency ") + ", " + outcome.text;
  return outcome.approved || Fail("the purchase was not approved: " + outcome.text);
}

// The stripe read needs the payment application idle: the reset asks for the
// card to be taken out, and the connection comes back as at start.
bool DemoSession::ReturnToIdle() {
  const auto reset = [&] { return control_->WarmReset(); };
  return Step("WarmReset", reset, {0, 1200}, kLimit) && Connect("after the reset");
}

bool DemoSession::ReadStripe() {
  // A card with a stripe only, swiped at the prompt.
  pad_->Pad().Profile() = emu::StripeCard();
  pad_->SetCardholder(DemoCardholder(emu::CardEntry::Swipe, options_.pace));
  const auto read = [&] { return control_->MagnetReader(); };
  if (!Step("MagnetReader (stripe card swiped)", read, {5, 0}, kLimit)) return false;
  swipedTrack2_ = events_->Seen(5, 0).value_or("");
  return true;
}

bool DemoSession::CheckFallback() {
  const std::string stripeCode = ServiceCodeOf(swipedTrack2_);
  if (stripeCode.empty()) {
    const std::string shown = options_.showCardData ? swipedTrack2_ : MaskTrack2(swipedTrack2_);
    return Fail("the swiped track 2 '" + shown + "' holds no service code");
  }
  return CheckServiceCode(stripeCode, "the swiped card's", "M") &&
         CheckServiceCode("201", "a chip card's", "C");
}

bool DemoSession::CheckServiceCode(const std::string& code, const std::string& whose,
                                   const std::string& expected) {
  const auto check = [&] { return control_->CheckServiceCode(code); };
  if (!Step("CheckServiceCode " + code + " (" + whose + ")", check, {0, 1105}, kLimit)) {
    return false;
  }
  const std::string answer = events_->Seen(0, 1105).value_or("");
  const char* meaning = answer == "M"   ? "the stripe may be used"
                        : answer == "C" ? "the card must be read by its chip"
                                        : "no known answer";
  out_ << "service code " << code << ": " << answer << ", " << meaning << "\n";
  return answer == expected ||
         Fail("service code " + code + " answered '" + answer + "', expected '" + expected + "'");
}

}  // namespace korvex::cli
