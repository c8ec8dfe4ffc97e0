// The card's cryptograms and a PIN entry retried. The purchase's replies are
// pinned text for text by the validation test's conversation and, as the
// control reads them (scripts and the blacklist's TVR included), by
// tests/transaction.
#include <gtest/gtest.h>

#include "card_conversation.h"
#include "emulator/messages/card_cryptogram.h"

namespace korvex::emu {
namespace {

using namespace testing;

// The ATC moves on with each first cryptogram (on the card too); the
// cryptogram is the same for the same data and changes with the amount and
// the ATC.
TEST(CardPurchase, CryptogramFollowsItsData) {
  const auto firstAc = [](const std::string& amount, CardProfile& card) {
    CardSession t{.dateTime = "261206120000", .amount = amount, .currency = "0978"};
    t.tags = card.tags;
    GenerateFirstAc(t, card, "80");
    return t.tags.at("9F26");
  };
  CardProfile card, same, other;
  const std::string first = firstAc("000000001250", card);
  EXPECT_EQ(card.tags.at("9F36"), "0012");
  EXPECT_EQ(firstAc("000000001250", same), first);
  EXPECT_NE(firstAc("000000001250", card), first);  // ATC 0013
  EXPECT_NE(firstAc("000000001251", other), first);
}

// A pad at rest halfway through a purchase carries on from there on a new
// connection to another emulator, as the pad fuzzer's inputs do; while a
// request is in hand it is not at rest.
TEST(CardPurchase, ARestPointCarriesOnOverAnotherConnection) {
  RawLine line;
  const auto before = PurchaseUntil("C02");
  Converse(line, before);
  const auto rest = line.emu.AtRest();
  ASSERT_TRUE(rest.has_value());
  RawLine other({}, rest->pad.State());
  other.emu.Resume(*rest);
  Converse(other, {kPurchase.begin() + static_cast<ptrdiff_t>(before.size()), kPurchase.end()});
  EXPECT_TRUE(other.emu.Violations().empty()) << other.emu.ViolationSummary();
  line.SendFrame("C02000100010");
  EXPECT_FALSE(line.emu.AtRest().has_value());
}

// A failed PIN entry leaves the amount confirmed: the entry may be asked again.
TEST(CardPurchase, FailedPinEntryMayBeRetried) {
  EmulatorConfig config;
  config.cardholder.pinStatus = "29";
  RawLine line(config);
  Converse(line, PurchaseUntil("C02"));
  Converse(line, {{"C02000100010", "C0229", 2000}, {"C02000100010", "C0229", 2000}});
  EXPECT_TRUE(line.emu.Violations().empty()) << line.emu.ViolationSummary();
}

}  // namespace
}  // namespace korvex::emu
