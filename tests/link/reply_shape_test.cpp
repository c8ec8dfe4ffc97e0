// Replies whose check byte holds but whose fields were spoilt on the line are
// NAKed like a bad check byte and their values are not taken; the pad's own
// replies are ACKed and handled.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "harness/pad_link.h"
#include "transaction/card_data_checks.h"

namespace korvex::testing {
namespace {

// Length-prefixed values: three digits giving the bytes, then the hex.
std::string Values(const std::vector<std::string>& hex) {
  std::string out;
  for (const std::string& v : hex) {
    const std::string bytes = std::to_string(v.size() / 2);
    out += std::string(3 - bytes.size(), '0') + bytes + v;
  }
  return out;
}

// The emulated pad's default card: AID, label, priority, language, country,
// track 2, PAN, expiry, sequence number; then a flag.
std::vector<std::string> Card() {
  return {"A0000000031010",
          "5649534120435245444954",
          "01",
          "6574656E",
          "0233",
          "4761739001010010D2712201123456789F",
          "4761739001010010",
          "271231",
          "01"};
}
std::string C01(std::vector<std::string> card, size_t i = 0, const std::string& value = "") {
  if (!value.empty()) card[i] = value;
  return "C0100" + Values(card) + "0";
}
// 5F28, 5F34, 82, 9F33, 5F2D.
const std::vector<std::string> kCardTags = {"0233", "01", "5C00", "E0B8D0", "6574656E"};
// 9F27, 9F10, 9F26, 9F36, 9F37, 95, 9B, 9F34.
std::vector<std::string> FirstAcTags(size_t i = 0, const std::string& value = "") {
  std::vector<std::string> tags = {"80",   "06010A03A00000", "1122334455667788",
                                   "0012", "01020304",       "0000000000",
                                   "E800", "420300"};
  if (!value.empty()) tags[i] = value;
  return tags;
}

struct Row {
  const char* what;
  int16_t state;
  std::string text;
  bool taken;
};

TEST_F(PadLinkTest, RepliesWithSpoiltFieldsAreNakedAndTheirValuesNotTaken) {
  const std::string pan = "4761739001010010";
  const std::vector<std::string> card = Card();
  const Row rows[] = {
      {"the pad's card data", STATE_APP_SELECT_ACKED, C01(Card()), true},
      {"the pad's tag data after card data", STATE_CARD_DATA_READY, "C2000" + Values(kCardTags),
       true},
      {"the pad's tag data after the first cryptogram", STATE_FIRST_AC_DATA_ACKED,
       "C2000" + Values(FirstAcTags()), true},
      {"the pad's PIN entry result", STATE_PIN_ACKED, "C02000" + Values({"0000000000", "E800"}),
       true},
      {"the pad's second cryptogram with a script", STATE_TVR_WRITE_SENT,
       "C8400" + Values({"40", "3030"}) + "01" + "2000000000", true},
      {"PAN holding a byte that is no digit", STATE_APP_SELECT_ACKED,
       C01(Card(), 6,
           "476173900101\xFF"
           "010"),
       false},
      {"PAN whose check digit fails", STATE_APP_SELECT_ACKED, C01(Card(), 6, "4761739001010011"),
       false},
      {"PAN that differs from track 2", STATE_APP_SELECT_ACKED,
       C01(Card(), 5, "4761739001010044D2712201123456789F"), false},
      {"expiry month 13", STATE_APP_SELECT_ACKED, C01(Card(), 7, "271331"), false},
      {"no PAN", STATE_APP_SELECT_ACKED,
       "C0100" + Values({"A0000000031010"}) + std::string(24, '0') + "0", false},
      {"length that is no number", STATE_APP_SELECT_ACKED,
       "C0100" + Values(std::vector<std::string>(card.begin(), card.begin() + 6)) + "0O8" + pan +
           Values({"271231", "01"}) + "0",
       false},
      {"card data cut short", STATE_APP_SELECT_ACKED, C01(Card()).substr(0, 60), false},
      {"issuer data holding a letter that is no hex", STATE_FIRST_AC_DATA_ACKED,
       "C2000" + Values(FirstAcTags(1, "06010A03AX0000")), false},
      {"tag data one value short", STATE_FIRST_AC_DATA_ACKED,
       "C2000" + Values(FirstAcTags()).substr(0, 79), false},
      {"issuer country that is no number", STATE_CARD_DATA_READY,
       "C2000" + Values({"02F3", "01", "5C00", "E0B8D0", "6574656E"}), false},
      {"bytes after the last value", STATE_CARD_DATA_READY, "C2000" + Values(kCardTags) + "0",
       false},
      {"TSI that is no hex", STATE_PIN_ACKED, "C02000" + Values({"0000000000", "E8O0"}), false},
      {"script results that are no hex", STATE_TVR_WRITE_SENT,
       "C8400" + Values({"40", "3030"}) + "01" + "200000000G", false},
      {"key code that is no hex", STATE_AMOUNT_CONFIRM_ACKED, "C2600Z3", false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    control.txn.TransData = {};
    Connect(row.state);
    Deliver(WithLrc(row.text));
    const std::string wire = Wire();
    ASSERT_FALSE(wire.empty());
    EXPECT_EQ(wire.substr(0, 1), row.taken ? kAck : kNak);
    if (row.taken) continue;
    EXPECT_EQ(wire, kNak);  // nothing handled, nothing sent further
    const Events seen = Take();
    EXPECT_TRUE(std::ranges::any_of(seen, [](const RecordedEvent& e) {
      return e.kind == RecordedEvent::Debug && e.type == 8 &&
             e.text.starts_with("Malformed reply, ");
    }));
    EXPECT_EQ(control.fState, row.state);
    EXPECT_EQ(control.txn.TransData.Pan, "");
    EXPECT_EQ(control.txn.TransData.IssuerApplicationData, "");
    EXPECT_EQ(control.txn.TransData.TerminalVerificationResults, "");
    EXPECT_EQ(control.txn.TransData.TagFF51Data, "");
    EXPECT_EQ(control.txn.TransData.IssuerCountryCode, 0);
    control.NakCount = 0;
  }
}

TEST(CardDataChecks, LuhnAndDatesHoldOnlyForRealCardData) {
  EXPECT_TRUE(LuhnHolds("4761739001010010"));
  EXPECT_TRUE(LuhnHolds("5413330089020011"));
  EXPECT_FALSE(LuhnHolds("4761739001010011"));
  EXPECT_FALSE(LuhnHolds("4761739001010001"));  // two neighbours swapped
  EXPECT_FALSE(LuhnHolds("47617390010100A0"));
  EXPECT_TRUE(IsRealDate("2712"));
  EXPECT_TRUE(IsRealDate("240229"));
  EXPECT_FALSE(IsRealDate("250229"));
  EXPECT_FALSE(IsRealDate("271200"));
  EXPECT_FALSE(IsRealDate("2700"));
  EXPECT_FALSE(IsRealDate("27123"));
}

}  // namespace
}  // namespace korvex::testing
