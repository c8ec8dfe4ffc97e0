// The card transaction as the pad plays it, request by request against the
// emulator's core: the purchase's replies text for text, the cryptograms, a PIN
// entry retried, swipes, and requests that break their layout or come out of
// the transaction's order, answered with a failure status (or only ACKed when
// their reply has none) and recorded. How the control reads the replies
// (scripts, the blacklist's TVR, the fallback check of a service code) is
// pinned in tests/transaction.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "emulator/messages/card_cryptogram.h"
#include "link/framing.h"
#include "raw_line.h"

namespace korvex::emu {
namespace {

using namespace testing;

// Each step sends a request, lets the given time pass, expects the pad's ACK
// and the reply text (none when empty) and ACKs the reply.
struct Exchange {
  std::string request;
  std::string reply;   // text of the pad's reply; empty: ACK only
  int64_t waitMs = 0;  // time for the pad (and the cardholder) to answer
};

void Converse(RawLine& line, const std::vector<Exchange>& steps) {
  for (const Exchange& s : steps) {
    SCOPED_TRACE(s.request);
    line.SendFrame(s.request);
    line.Run(s.waitMs);
    EXPECT_EQ(line.Take(), kAck + (s.reply.empty() ? "" : Frame(s.reply)));
    if (!s.reply.empty()) line.Ack();
  }
}

// A value as the replies carry it: its byte count in three digits, then hex.
std::string V(const std::string& hex) {
  return std::to_string(1000 + hex.size() / 2).substr(1) + hex;
}

const std::string kInsertPrompt = "Z2\x1A Sisesta  kaart   Insert  card";
const std::string kChipStart = "C0000101261206120000000000001250";  // 12.50
const std::string kCardData = "055F285F3482009F335F2D";
const std::string kAid = V("A0000000031010");
const std::string kLabel = V("5649534120435245444954");  // "VISA CREDIT"
const std::string kLanguage = V("6574656E");             // "eten"
const std::string kIssuerData = "C21029100" + V("1122334455667788") + "8A00" + V("3030");

// A chip purchase of 12.50 in currency 978 with the default card and
// cardholder: the card is inserted 500 ms after the prompt (the reader is
// polled once a second), the amount confirmed after 1000 ms, the PIN
// entered after 2000 ms.
const std::vector<Exchange> kPurchase = {
    {"C23", "C2300"},
    {"I02", "I02"},
    {"Q40", ""},
    {kInsertPrompt, ""},
    {"I050", "I050", 1000},
    {"I050", "I051"},
    {"Q41", ""},
    {kChipStart, "C0000" + kAid + kLabel + kLanguage},
    {"C0100000000012500000000000000978", "C0100" + kAid + kLabel + V("01") + kLanguage + V("0233") +
                                             V("4761739001010010D2712201123456789F") +
                                             V("4761739001010010") + V("271231") + V("01") + "0"},
    {"C20" + kCardData, "C2000" + V("0233") + V("01") + V("5C00") + V("E0B8D0") + kLanguage},
    {"C170010000000DC4004F800DC4000A800", "C1700"},
    {"C1800000000000", "C1800"},
    {"C2612.50           Ei   Jah", "C2600F3", 1000},
    {"C02000100010", "C02000" + V("0000000000") + V("E800"), 2000},
    {"C831", "C8300" + V("80") + V("")},
    {kIssuerData, "C2100"},
    {"C840", "C8400" + V("40") + V("3030") + "00"},
};

// The purchase up to (not including) the first request starting with
// `code`; the whole purchase for an empty code.
std::vector<Exchange> PurchaseUntil(const std::string& code) {
  std::vector<Exchange> steps;
  for (const Exchange& s : kPurchase) {
    if (!code.empty() && s.request.starts_with(code)) break;
    steps.push_back(s);
  }
  return steps;
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

// A pad at rest halfway through a purchase carries on from there on a new
// connection to another emulator, as the pad fuzzer's inputs do; while a
// request is in hand it is not at rest. On the first pad the PIN entry fails:
// the amount stays confirmed and the entry may be asked again.
TEST(CardPurchase, ARestPointCarriesOnOverAnotherConnectionAndAFailedPinMayBeRetried) {
  EmulatorConfig failing;
  failing.cardholder.pinStatus = "29";
  RawLine line(failing);
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
  line.Run(2000);
  EXPECT_EQ(line.Take(), kAck + Frame("C0229"));
  line.Ack();
  Converse(line, {{"C02000100010", "C0229", 2000}});
  EXPECT_TRUE(line.emu.Violations().empty()) << line.emu.ViolationSummary();
}

RawLine SwipingLine(CardProfile card, EmulatorConfig config = {}) {
  config.cardholder.entry = CardEntry::Swipe;
  PadState state;
  state.cardProfile = std::move(card);
  return RawLine(config, state);
}

const std::string kStripeTrack =
    Frame("81.;5413330089020011=2512101000000000?" + std::string(1, FS));

// The swipe comes 500 ms after the prompt, while "I050" is being handled
// (600 ms): the track message waits for the request's reply and its ACK. It
// then takes a second ACK, answered as is any more while the pad waits, until
// a request ends the exchange.
TEST(CardSwipe, TrackMessageWaitsBehindARequestAndTakesASecondAck) {
  EmulatorConfig config;
  config.delays.perMessageMs["I05"] = 600;
  RawLine line = SwipingLine(StripeCard(), config);
  Converse(line, {{"C23", "C2300"}, {"I02", "I02"}, {"Q40", ""}, {kInsertPrompt, ""}});
  line.Run(100);
  line.SendFrame("I050");  // handled at 700
  line.Run(599);
  EXPECT_EQ(line.Take(), kAck);
  line.Run(1);
  EXPECT_EQ(line.Take(), Frame("I050"));
  line.Ack();
  EXPECT_EQ(line.Take(), kStripeTrack);
  line.Ack();  // the frame's ACK
  EXPECT_EQ(line.Take(), "");
  line.Ack();  // the control's second ACK, and one more while it waits
  line.Ack();
  EXPECT_EQ(line.Take(), kAck + kAck);
  Converse(line, {{"Q41", ""}});
  line.Ack();
  EXPECT_EQ(line.Take(), "");
  EXPECT_TRUE(line.emu.Violations().empty()) << line.emu.ViolationSummary();
}

// A new transaction, "Q41" and "72" each end swipe reading.
TEST(CardSwipe, NoTrackMessageWhileSwipeReadingIsOff) {
  const Exchange offs[] = {{"C23", "C2300"}, {"Q41", ""}, {"72", ""}};
  for (const Exchange& off : offs) {
    SCOPED_TRACE(off.request);
    RawLine line = SwipingLine(StripeCard());
    Converse(line, {{"C23", "C2300"}, {"Q40", ""}, off, {kInsertPrompt, ""}});
    line.Run(5000);
    EXPECT_EQ(line.Take(), "");
    EXPECT_TRUE(line.emu.GetTranscript().Contains("swipe reading is off: not read"));
  }
}

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
