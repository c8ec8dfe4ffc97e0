// The card transaction at the link, where the emulated PIN pad does not take
// it: calls refused, replies in a state that expects none, the policy record
// a terminal object chooses, and the edge cases of the TVR mark and of the
// issuer's response write.
#include <gtest/gtest.h>

#include <cmath>

#include "harness/pad_link.h"
#include "korvex/json_terminal.h"
#include "support/conversions.h"

namespace korvex::testing {
namespace {

TEST(TransactionCalls, BadArgumentsAreRefusedBeforeAnythingStarts) {
  PadLink link;
  for (const char* date : {"26030410150", "2603041015000", " 26030410150", "+26030410150",
                           "2603041015.0", "2603041015e1", "26030410150x"}) {
    EXPECT_EQ(link.control.StartTransaction(date, 1, 978, false), 7) << date;
  }
  EXPECT_EQ(link.control.StartTransaction("260304101500", NAN, 978, false), 7);
  link.control.txn.TransData.TransactionAmount = 1;
  link.control.fState = STATE_CARD_DATA_SENT;  // not yet "Track2 received"
  EXPECT_EQ(link.control.ChangeTransactionAmount(2), 1);
  link.control.fState = STATE_CARD_DATA_READY;
  EXPECT_EQ(link.control.ChangeTransactionAmount(INFINITY), 7);
  EXPECT_EQ(link.control.txn.TransData.TransactionAmount, 1);
  EXPECT_EQ(link.Take(), Events{});
  link.host.RunFor(5);
  EXPECT_EQ(link.Wire(), "");
}

TEST_F(PadLinkTest, TransactionRepliesInAStateThatExpectsNoneAreReported) {
  Connect(STATE_CHIP_START_ACKED);
  // C00 is the one reply this state expects. A failure result: a success
  // would have to carry the fields of its code. I02 is the card reader's.
  for (const char* code : {"C01", "C02", "C17", "C18", "C20", "C21", "C22", "C23", "C25", "C26",
                           "C83", "C84", "I02"}) {
    const std::string f = WithLrc(code + std::string("05"));
    Deliver(f);
    Events all = Take();  // the trace is pinned by the link's own tests
    std::erase_if(all, [](const auto& e) { return e.kind != RecordedEvent::Interface; });
    EXPECT_EQ(all, Events{IE(1, 12,
                             "Function='Process" + std::string(code) + "'; State=252; Message='" +
                                 f + "'.")});
    EXPECT_EQ(control.fState, STATE_CHIP_START_ACKED);
  }
  EXPECT_EQ(Wire(), std::string(13, ACK));
}

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
  return c;
}

// Fields 3-5 of the chosen record make the C17 body. PIN entry starts only
// from the card data, and only with a terminal object bound.
TEST(Verification, PanRangePolicyTakesPrecedenceOverTheApplications) {
  // AID, PAN, the record chosen.
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
    link.Connect(STATE_CARD_DATA_READY);
    EXPECT_EQ(link.control.EnterPIN(), 1);
    link.control.terminalObject = &terminal;
    link.control.fState = STATE_CARD_DATA_SENT;
    EXPECT_EQ(link.control.EnterPIN(), 1);
    link.control.fState = STATE_CARD_DATA_READY;
    link.control.txn.TransData.ApplicationId = aid;
    link.control.txn.TransData.IssuerCountryCode = 233;
    link.control.txn.TransData.Pan = pan;
    EXPECT_EQ(link.control.EnterPIN(), 0);
    const std::string r = std::to_string(record);
    EXPECT_EQ(link.Wire(), WithLrc("C17" + r + "3" + r + "4" + r + "5"));
    EXPECT_EQ(link.control.txn.PolicyIndex, record);
  }
}

// TVR byte 1 gets bit 0x10, written in capitals; the host reads the marked TVR.
TEST(Blacklist, TheMarkedTvrIsWrittenAndKept) {
  const std::pair<std::string, std::string> rows[] = {
      {"1000000000", "1000000000"}, {"f0", "F0"}, {"", "10"}};
  for (const auto& [tvr, marked] : rows) {
    SCOPED_TRACE(tvr);
    PadLink link;
    link.Connect(STATE_TVR_READ_ACKED);
    link.Deliver(WithLrc("C2000" + ZeroPadNumber(static_cast<int64_t>(tvr.size() / 2), 3) + tvr));
    EXPECT_EQ(link.Wire(), kAck + WithLrc("C21019500005" + marked));
    EXPECT_EQ(link.control.fState, STATE_TVR_WRITE_SENT);
    EXPECT_EQ(getTag(link.control.txn.TransData, "95"), marked);
  }
}

// An odd number of hex characters is announced by its whole bytes.
TEST(SecondCryptogram, ResponseWriteAnnouncesWholeBytesOfTheIad) {
  for (const auto& [iad, field] : {std::pair{"", "000"}, std::pair{"1234567", "0031234567"}}) {
    PadLink link;
    link.Connect(STATE_AUTHORISATION);
    EXPECT_EQ(link.control.GetSecondCrypto(0, "", "", iad, "3030"), 0);
    EXPECT_EQ(link.Wire(), WithLrc(std::string("C21029100") + field + "8A00002" + "3030"));
    EXPECT_EQ(link.control.fState, STATE_SCRIPT_ACKED);
  }
}

}  // namespace
}  // namespace korvex::testing
