// Amounts as the PIN pad gets them: minor units rounded half to even for the
// chip application, half away from zero on the confirmation screen.
#include "transaction/amounts.h"

#include <gtest/gtest.h>

#include "harness/pad_link.h"

namespace korvex::testing {
namespace {

TEST(Amounts, MinorUnitFieldAndConfirmationText) {
  // Amount, C00/C010 field, C26 text for currency 233 and for 978.
  const std::tuple<double, const char*, const char*, const char*> rows[] = {
      {1.25, "000000000125", "1.25 EEK        ", "1.25            "},
      {0.125, "000000000012", "0.13 EEK        ", "0.13            "},  // the two differ
      {0.375, "000000000038", "0.38 EEK        ", "0.38            "},
      {0.025, "000000000002", "0.03 EEK        ", "0.03            "},
      {0.05, "000000000005", "0.05 EEK        ", "0.05            "},
      {0, "000000000000", "0.00 EEK        ", "0.00            "},
      {-1.5, "000000000150", "-1.50 EEK       ", "-1.50           "},  // no sign in C00
      {12345678901234.56, "567890123456", "12345678901234.5", "12345678901234.5"},
      {1e20, "000000000000", "1000000000000000", "1000000000000000"},  // beyond 64 bits
  };
  for (const auto& [amount, field, eek, eur] : rows) {
    SCOPED_TRACE(amount);
    EXPECT_EQ(AmountField(amount), field);
    EXPECT_EQ(ConfirmationAmountText(amount, 233), eek);
    EXPECT_EQ(ConfirmationAmountText(amount, 978), eur);
  }
}

TEST(Amounts, ChipStartAndApplicationSelectionCarryTheSameField) {
  PadLink link;
  link.Connect(STATE_CARD_DATA_READY);
  link.control.txn.TransData.TransactionDateTime = "260304101500";
  link.control.txn.TransData.CurrencyCode = 978;
  EXPECT_EQ(link.control.ChangeTransactionAmount(0.125), 0);
  EXPECT_EQ(link.Wire(), WithLrc("C0000101"
                                 "260304101500"
                                 "000000000012"));
  link.Forget();
  link.Deliver(kAck);
  link.Deliver(
      WithLrc("C0000"
              "007A0000000031010"));
  EXPECT_EQ(link.Wire(), kAck + WithLrc("C010"
                                        "000000000012"
                                        "000000000000"
                                        "0978"));
  EXPECT_EQ(link.control.fState, STATE_APP_SELECT_SENT);
  EXPECT_FALSE(link.control.TimeoutTimer->Enabled());  // the cardholder chooses at leisure
}

}  // namespace
}  // namespace korvex::testing
