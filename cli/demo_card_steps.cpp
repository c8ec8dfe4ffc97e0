// The demo's card steps: a chip purchase with PIN approved by the issuer the
// demo plays, a stripe read, and the fallback check of two service codes.
#include <ctime>

#include "cli/card_data.h"
#include "cli/demo_issuer.h"
#include "cli/demo_pad.h"
#include "cli/demo_receipt.h"
#include "cli/demo_session.h"

namespace korvex::cli {

namespace {

using std::chrono::seconds;

constexpr double kAmount = 12.50;
constexpr int16_t kCurrency = 978;

// The host's local date and time as the pad takes it: YYMMDDhhmmss.
std::string LocalDateTime() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char text[16];
  std::strftime(text, sizeof text, "%y%m%d%H%M%S", &local);
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
  if (!Step(
          "StartTransaction 12.50 978 (chip card)",
          [&] { return control_->StartTransaction(LocalDateTime(), kAmount, kCurrency, false); },
          {0, 1102}, seconds(30)) ||
      !Step(
          "EnterPIN", [&] { return control_->EnterPIN(); }, {0, 1103}, seconds(30)) ||
      !Step(
          "GetFirstCrypto", [&] { return control_->GetFirstCrypto(0, false); }, {0, 1104},
          seconds(30))) {
    return false;
  }
  const IssuerAnswer issuer = SimulatedApproval();
  out_ << "issuer (played by the demo): approved, response code " << issuer.actionCode << ", IAD "
       << issuer.iad << ", a " << issuer.script71.size() << "-byte script for tag 71\n";
  if (!Step(
          "GetSecondCrypto",
          [&] {
            return control_->GetSecondCrypto(0, issuer.script71, "", issuer.iad, issuer.actionCode);
          },
          {0, 1106}, seconds(30))) {
    return false;
  }
  out_ << "-- receipt\n";
  PrintReceipt(*control_, options_.showCardData, out_);
  const PurchaseOutcome outcome = OutcomeOf(*control_);
  purchase_ = "12.50 in currency 978, " + outcome.text;
  return outcome.approved || Fail("the purchase was not approved: " + outcome.text);
}

// The stripe read needs the payment application idle: the reset asks for the
// card to be taken out, and the connection comes back as at start.
bool DemoSession::ReturnToIdle() {
  return Step(
             "WarmReset", [&] { return control_->WarmReset(); }, {0, 1200}, seconds(30)) &&
         Connect("after the reset");
}

bool DemoSession::ReadStripe() {
  // A card with a stripe only, swiped at the prompt.
  pad_->Pad().Profile() = emu::StripeCard();
  pad_->SetCardholder(DemoCardholder(emu::CardEntry::Swipe, options_.pace));
  if (!Step(
          "MagnetReader (stripe card swiped)", [&] { return control_->MagnetReader(); }, {5, 0},
          seconds(30))) {
    return false;
  }
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
  if (!Step(
          "CheckServiceCode " + code + " (" + whose + ")",
          [&] { return control_->CheckServiceCode(code); }, {0, 1105}, seconds(30))) {
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
