// A whole chip purchase, request by request, with the replies' exact texts,
// and the blacklist path's TVR read, write and read back. The cryptogram
// values are the pad's own; the test reads them from the pad to check that
// the replies carry them.
#include <gtest/gtest.h>

#include "card_conversation.h"
#include "emulator/messages/card_cryptogram.h"

namespace korvex::emu {
namespace {

using namespace testing;

std::string Tag(RawLine& line, const std::string& tag) {
  return line.emu.Pad().Transaction().tags.at(tag);
}

TEST(CardPurchase, ChipPurchaseWithScriptsRequestByRequest) {
  RawLine line;
  Converse(line, PurchaseUntil("C21"));
  EXPECT_EQ(Tag(line, "9F36"), "0012");  // the card's ATC was 0011
  const std::string firstCryptogram = Tag(line, "9F26");
  const std::string iad = V("06010A03A00000");
  const std::string tvrTsi = V("0000000000") + V("E800");
  Converse(line,
           {
               {"C20" + kFirstAcData, "C2000" + V("80") + iad + V(Tag(line, "9F26")) + V("0012") +
                                          V(Tag(line, "9F37")) + tvrTsi + V("420300")},
               {"C2571001" + V("0102030405"), "C2500"},
               {"C2572081" + V(std::string(480, 'A')), "C2500"},
               {"C2572191" + V("BBBB"), "C2500"},
               {kIssuerData, "C2100"},
               {"C840", "C8400" + V("40") + V("3030") + "02" + "2000000000" + "2000000000"},
           });
  Converse(line, {{"C20" + kSecondAcData, "C2000" + V("40") + iad + V(Tag(line, "9F26")) +
                                              V("0012") + V(Tag(line, "9F37")) + V("0000000000") +
                                              V("EC00")}});  // scripts done
  EXPECT_NE(Tag(line, "9F26"), firstCryptogram);
  EXPECT_TRUE(line.emu.Violations().empty()) << line.emu.ViolationSummary();
}

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

// A failed PIN entry leaves the amount confirmed: the entry may be asked again.
TEST(CardPurchase, FailedPinEntryMayBeRetried) {
  EmulatorConfig config;
  config.cardholder.pinStatus = "29";
  RawLine line(config);
  Converse(line, PurchaseUntil("C02"));
  Converse(line, {{"C02000100010", "C0229", 2000}, {"C02000100010", "C0229", 2000}});
  EXPECT_TRUE(line.emu.Violations().empty()) << line.emu.ViolationSummary();
}

TEST(CardPurchase, BlacklistPathWritesTheTvrBeforeTheFirstCryptogram) {
  RawLine line;
  Converse(line, PurchaseUntil("C83"));
  Converse(line, {
                     {"C20019500", "C2000" + V("0000000000")},
                     {"C21019500" + V("1000000000"), "C2100"},
                     {"C20019500", "C2000" + V("1000000000")},
                     {"C831", "C8300" + V("80") + V("")},
                     {"C20019500", "C2000" + V("1000000000")},
                 });
  EXPECT_TRUE(line.emu.Violations().empty()) << line.emu.ViolationSummary();
}

}  // namespace
}  // namespace korvex::emu
