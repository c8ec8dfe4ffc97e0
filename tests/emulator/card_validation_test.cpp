// Card-transaction requests that break their layout or come out of the
// transaction's order are answered with a failure status (or only ACKed when
// their reply has none) and recorded, the issuer script blocks' structure too.
#include <gtest/gtest.h>

#include "card_conversation.h"

namespace korvex::emu {
namespace {

using namespace testing;

struct Rule {
  const char* what;
  const char* until;  // the purchase is played up to this request
  std::string request;
  std::string reply;                  // empty: ACK only
  std::vector<Exchange> before = {};  // after the purchase's part
  Cardholder cardholder = {};
};

const std::string kAmount = "C2612.50           ";
const std::string kSelect = "C010000000001250000000000000";  // + currency
const std::string kWriteTvr = "C21019500" + V("1000000000");

std::vector<Rule> Rules() {
  const std::string actionCodes = "C170010000000DC4004F800DC4000A800";
  const Exchange readTvr{"C20019500", "C2000" + V("0000000000")};
  const std::string a240 = std::string(480, 'A');
  const Exchange whole71{"C2571001" + V("AAAA"), "C2500"}, whole72{"C2572001" + V("AAAA"), "C2500"};
  const Exchange first240{"C2571081" + V(a240), "C2500"};
  return {
      {"chip start without C23", "C23", kChipStart, "C0004"},
      {"swipe reading Q42", "C23", "Q42", ""},
      {"display of 33 characters", "C23", "Z2" + std::string(33, 'x'), ""},
      {"service code of 2 digits", "C23", "C2220", "C2202"},
      {"tag read without a transaction", "C23", "C20019500", "C2004"},
      {"chip start amount not digits", "C00", "C000010126120612000000000000125X", "C0002"},
      {"selection before the chip start", "C00", kSelect + "0978", "C0104"},
      {"selection amount differs", "C010", "C0100000000012510000000000000978", "C0102"},
      {"second amount not zero", "C010", "C0100000000012500000000000010978", "C0102"},
      {"action codes before selection", "C010", actionCodes, "C1704"},
      {"tag list one short", "C20", "C20025F28", "C2002"},
      {"tag list of no tags", "C20", "C2000", "C2002"},
      {"cryptogram before the first cryptogram", "C20", "C20019F26", "C2004"},
      {"tag the card lacks", "C20", "C20019F02", "C2059"},
      {"limits before action codes", "C20", "C1800000000000", "C1804"},
      {"action codes of 29 digits", "C17", actionCodes.substr(0, 32), "C1702"},
      {"limits with a letter", "C18", "C180000000000A0", "C1802"},
      {"confirmation before limits", "C18", kAmount + "Ei   Jah", "C2604"},
      {"amount text of 15 characters", "C26", "C2612.50          Ei   Jah", "C2602"},
      {"amount with one decimal", "C26", "C2612.5            Ei   Jah", "C2602"},
      {"amount with a leading zero", "C26", "C26012.50          Ei   Jah", "C2602"},
      {"amount not the transaction's", "C26", "C2612.48           Ei   Jah", "C2602"},
      {"symbol of another currency", "C26", "C2612.50 EEK       Ei   Jah", "C2602"},
      {"labels of the other language", "C26", kAmount + "No   Yes", "C2602"},
      {"PIN entry before confirmation", "C26", "C02000100010", "C0204"},
      {"PIN entry after the amount was refused",
       "C26",
       "C02000100010",
       "C0204",
       {{kAmount + "Ei   Jah", "C2600F1", 1000}},
       {.amountKey = "F1"}},
      {"PIN entry bypass digit 1", "C02", "C02000100011", "C0202"},
      {"first cryptogram before PIN", "C02", "C831", "C8304"},
      {"decision 3", "C83", "C833", "C8302"},
      {"tag count says 2, holds 1", "C83", "C21029500" + V("1000000000"), "C2102"},
      {"bytes after the last tag", "C83", kWriteTvr + "00", "C2102"},
      {"TVR written before it was read", "C83", kWriteTvr, "C2104"},
      {"issuer data before the first cryptogram", "C83", kIssuerData, "C2104"},
      {"TVR written without the exception bit",
       "C83",
       "C21019500" + V("0000000001"),
       "C2102",
       {readTvr}},
      {"first cryptogram between TVR read and write", "C83", "C831", "C8304", {readTvr}},
      {"8A of one byte", "C21", "C210291000008A00" + V("30"), "C2102"},
      {"TVR after the first cryptogram", "C21", kWriteTvr, "C2104"},
      {"second cryptogram before issuer data", "C21", "C840", "C8404"},
      {"second cryptogram twice", "", "C840", "C8404"},
      // Issuer script blocks: 71 before 72, one 71, a split block's
      // continuation next, block sizes.
      {"continuation without its start", "C21", "C2571191" + V("BB"), "C2504"},
      {"71 after 72", "C21", whole71.request, "C2504", {whole72}},
      {"a second 71", "C21", whole71.request, "C2504", {whole71}},
      {"another script before the continuation", "C21", whole72.request, "C2504", {first240}},
      {"continuation of the other tag", "C21", "C2572191" + V("BB"), "C2504", {first240}},
      {"issuer data before the continuation", "C21", kIssuerData, "C2104", {first240}},
      {"split block of 239 bytes", "C21", "C2571081" + V(a240.substr(2)), "C2502"},
      {"whole block of 241 bytes", "C21", "C2571001" + V(a240 + "AA"), "C2502"},
      {"part 1 with kind 01", "C21", "C2571101" + V("AAAA"), "C2502"},
      {"length says more", "C21", "C2571001003AAAA", "C2502"},
  };
}

TEST(CardValidation, EveryBrokenRuleIsRefusedAndRecorded) {
  for (const Rule& r : Rules()) {
    SCOPED_TRACE(r.what);
    EmulatorConfig config;
    config.cardholder = r.cardholder;
    RawLine line(config);
    Converse(line, PurchaseUntil(r.until));
    Converse(line, r.before);
    ASSERT_TRUE(line.emu.Violations().empty()) << line.emu.ViolationSummary();
    EXPECT_EQ(line.Request(r.request), kAck + (r.reply.empty() ? "" : Frame(r.reply)));
    ASSERT_EQ(line.emu.Violations().size(), 1u);
    EXPECT_EQ(line.emu.Violations()[0].message, r.request);
  }
}

}  // namespace
}  // namespace korvex::emu
