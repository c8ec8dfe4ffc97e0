// Cardholder verification driven by a terminal object: which policy record is
// chosen, and what its fields make of the C17, C18, C26 and C02 bodies.
#include <gtest/gtest.h>

#include "harness/pad_link.h"
#include "korvex/json_terminal.h"

namespace korvex::testing {
namespace {

// Record r of table 5 holds "r1" .. "r9" as fields 1 to 9.
JsonTerminal::Config PolicyConfig() {
  JsonTerminal::Config c;
  for (int r = 1; r <= 3; ++r) {
    c.mvtTable.records.emplace_back();
    for (int k = 1; k <= 9; ++k) c.mvtTable.records.back().push_back(std::to_string(r * 10 + k));
  }
  c.aidRules = {{"A000000003", 233, 3}};
  c.panRanges = {{"4761", "4761", 5}, {"5555", "5555", 0}};
  c.policyRecords = {{5, 2}, {3, 1}, {0, 3}};
  c.pinBypass = true;
  return c;
}

TEST(Verification, PanRangePolicyTakesPrecedenceOverTheApplications) {
  // AID, PAN, the record whose fields 3-5 make the C17 body.
  const std::tuple<const char*, const char*, int> rows[] = {
      {"A0000000031010", "4761739001010010", 2},  // AID policy 3, PAN policy 5
      {"A0000000031010", "5413330089010434", 1},  // no PAN range: the AID's
      {"A0000000031010", "5555000000000000", 3},  // PAN policy 0 replaces it
      {"A0000000041010", "5413330089010434", 3},  // neither: policy 0
  };
  for (const auto& [aid, pan, record] : rows) {
    SCOPED_TRACE(pan);
    JsonTerminal terminal(PolicyConfig());
    PadLink link;
    link.control.terminalObject = &terminal;
    link.Connect(STATE_CARD_DATA_READY);
    TransData& data = link.control.txn.TransData;
    data.ApplicationId = aid;
    data.IssuerCountryCode = 233;
    data.Pan = pan;
    EXPECT_EQ(link.control.EnterPIN(), 0);
    const std::string r = std::to_string(record);
    EXPECT_EQ(link.Wire(), WithLrc("C17" + r + "3" + r + "4" + r + "5"));
    EXPECT_EQ(link.control.txn.PolicyIndex, record);
  }
}

TEST(Verification, LimitsConfirmationAndPinEntry) {
  JsonTerminal terminal(PolicyConfig());
  PadLink link;
  link.control.terminalObject = &terminal;
  link.Connect(STATE_CARD_DATA_READY);
  TransData& data = link.control.txn.TransData;
  data.ApplicationId = "A0000000031010";
  data.IssuerCountryCode = 233;
  data.Pan = "4761739001010010";
  data.TransactionAmount = 1.25;
  data.CurrencyCode = 233;
  data.LanguagePreference = "6574656E";  // Estonian first
  ASSERT_EQ(link.control.EnterPIN(), 0);
  // Each request acknowledged and answered; the amount confirmed with F3.
  const std::pair<const char*, std::string> steps[] = {
      {"C1700",
       "C18"
       "26"
       "27"
       "0"
       "28"
       "000"
       "0"
       "29"
       "000"},
      {"C1800",
       "C26"
       "1.25 EEK        "
       "Ei   Jah"},
      {"C2600F3",
       "C02"
       "0001"
       "0001"
       "2"},
  };
  for (const auto& [reply, request] : steps) {
    link.Deliver(kAck);
    link.Forget();
    link.Deliver(WithLrc(reply));
    EXPECT_EQ(link.Wire(), kAck + WithLrc(request)) << reply;
  }
  EXPECT_EQ(link.control.EnterPIN(), 1);  // not in card-data state any more
  link.control.terminalObject = nullptr;
  link.control.fState = STATE_CARD_DATA_READY;
  EXPECT_EQ(link.control.EnterPIN(), 1);  // no policy to send without a terminal
}

}  // namespace
}  // namespace korvex::testing
