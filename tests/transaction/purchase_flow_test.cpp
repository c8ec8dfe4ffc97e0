// A chip purchase from card entry to the second cryptogram against the
// emulated PIN pad: the exact requests the pad received, the events the host
// saw, the final state and the stored card data.
#include <gtest/gtest.h>

#include "transaction/txn_rig.h"

namespace korvex::testing {
namespace {

TEST(PurchaseFlow, ChipPurchaseWithPinFromCardEntryToSecondCryptogram) {
  TxnRig rig;
  rig.Ready();
  ASSERT_EQ(rig.control.StartTransaction(kDateTime, 12.50, 978, false), 0);
  ASSERT_TRUE(rig.RunToEvent(0, 1102));
  EXPECT_EQ(rig.control.fState, STATE_CARD_DATA_READY);
  EXPECT_EQ(rig.Tag("PAN"), "4761739001010010");
  EXPECT_EQ(rig.Tag("TRACK2"), "4761739001010010=2712201123456789");
  ASSERT_EQ(rig.control.EnterPIN(), 0);
  ASSERT_TRUE(rig.RunToEvent(0, 1103));
  EXPECT_EQ(rig.control.fState, STATE_PIN_DONE);
  ASSERT_EQ(rig.control.GetFirstCrypto(0, false), 0);
  ASSERT_TRUE(rig.RunToEvent(0, 1104));
  EXPECT_EQ(rig.Tag("9F27"), "80");
  ASSERT_EQ(rig.control.GetSecondCrypto(0, "", "", "1122334455667788", "3030"), 0);
  ASSERT_TRUE(rig.RunToEvent(0, 1106));
  EXPECT_EQ(rig.control.fState, STATE_TRANSACTION_DONE);

  // Policy 2 (domestic Visa) reads record 2 of table 5 for C17 and C18.
  EXPECT_EQ(
      rig.NewRequests(),
      (Texts{"C23", "I02", "Z2\x1A Sisesta  kaart   Insert  card", "I050", "I050", "Q41",
             "C0000101260304120000000000001250", "C0100000000012500000000000000978",
             "C20055F285F3482009F335F2D", "C170010000000DC4004F800DC4000A800",
             "C181000200000050000", "C2612.50           Ei   Jah", "C02000100010", "C830",
             "C20089F279F109F269F369F3795009B009F34", "C2102910000811223344556677888A000023030",
             "C840", "C20079F279F109F269F369F3795009B00"}));
  EXPECT_EQ(rig.Interfaces(), (Events{IE(0, 1101, "Card Inserted!"), IE(0, 1102, "Track2 received"),
                                      IE(0, 1103, "Pin entered!"), IE(0, 1104, "Authorization!"),
                                      IE(0, 1106, "Transaction Completed!")}));
  // What the host reads for its receipt: the card's final data as the pad holds it.
  const auto& card = rig.pad.Core().Pad().Transaction().tags;
  EXPECT_EQ(rig.Tag("9F26"), card.at("9F26"));
  EXPECT_EQ(rig.Tag("9F27"), "40");
  EXPECT_EQ(rig.Tag("AUTHRESP"), "3030");
  EXPECT_EQ(rig.Tag("9F36"), "0012");
  EXPECT_EQ(rig.Tag("CSN"), "1");
  EXPECT_EQ(rig.Tag("AID"), "A0000000031010");
}

}  // namespace
}  // namespace korvex::testing
