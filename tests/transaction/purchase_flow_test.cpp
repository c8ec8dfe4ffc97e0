// A chip purchase from card entry to the second cryptogram against the
// emulated PIN pad: the exact requests the pad received, the events the host
// saw, the final state and the stored card data.
#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <optional>
#include <sstream>

#include "harness/scripted_peer.h"
#include "transaction/txn_rig.h"

namespace korvex::testing {
namespace {

// The purchase's requests in pieces, as the example terminal and the default
// card make them: 12.50 EUR, policy 2 (domestic Visa: record 2 of table 5 for
// C17 and C18), the issuer's data kIad and response "00" ("3030"), decision 0
// (approved online).
const std::string kIad = "1122334455667788";
const Texts kCardData = {"C23", "I02", kInsert, "I050", "I050", "Q41", kC00, kC010, kC20};
const Texts kFirstAc = {"C830", "C20089F279F109F269F369F3795009B009F34"};
const Texts kSecondAc = {"C21029100008" + kIad + "8A000023030", "C840",
                         "C20079F279F109F269F369F3795009B00"};
const Events kSteps = {IE(0, 1101, "Card Inserted!"), IE(0, 1102, "Track2 received"),
                       IE(0, 1103, "Pin entered!"), IE(0, 1104, "Authorization!"),
                       IE(0, 1106, "Transaction Completed!")};
// A 10-byte issuer script and its hex; a 300-byte one splits after 240 bytes.
const std::string kScript10("\x9F\x18\x04\x00\x00\x00\x01\x86\x03\x00", 10);
const std::string kScript10Hex = "9F180400000001860300";
const std::string kScript300 = std::string(240, 'J') + std::string(60, '\x0F');

Texts Cat(std::initializer_list<Texts> parts) {
  Texts all;
  for (const auto& p : parts) all.insert(all.end(), p.begin(), p.end());
  return all;
}
Texts Words(const std::string& text) {
  std::istringstream in(text);
  return Texts(std::istream_iterator<std::string>(in), std::istream_iterator<std::string>());
}
std::string Repeat(const std::string& s, int n) {
  std::string out;
  while (n-- > 0) out += s;
  return out;
}
// Card data, then the verification requests up to the PIN entry, whose last
// digit allows the bypass ("2") or not ("0").
Texts ToPin(char bypass = '0', Texts extra = {}) {
  return Cat({kCardData,
              {"C170010000000DC4004F800DC4000A800", "C181000200000050000",
               "C2612.50           Ei   Jah", std::string("C0200010001") + bypass},
              extra});
}
// The first n of the events a completed purchase raises.
Events Steps(size_t n, Events more = {}) {
  Events e(kSteps.begin(), kSteps.begin() + static_cast<std::ptrdiff_t>(n));
  e.insert(e.end(), more.begin(), more.end());
  return e;
}

bool Failed(const TxnRig& rig) {
  return std::ranges::any_of(rig.Interfaces(), [](const auto& e) { return e.type == 1; });
}

// The stored card data, given as "KEY=value ...".
void ExpectTags(const TxnRig& rig, const std::string& tags) {
  for (const std::string& tag : Words(tags)) {
    const size_t eq = tag.find('=');
    EXPECT_EQ(rig.Tag(tag.substr(0, eq)), tag.substr(eq + 1)) << tag;
  }
}

// What the host does at each step of the purchase.
struct Host {
  bool blacklisted = false;
  int16_t decision = 0;  // for the first cryptogram
  std::string script71{}, script72{};
};

// Plays the host through a purchase from state 111, each call once the step
// before it was reported; it stops at the first error event. Then 10 s more
// pass, so that anything sent or raised afterwards shows.
void Purchase(TxnRig& rig, const Host& h = {}) {
  auto step = [&](int16_t result, int32_t code) {
    EXPECT_EQ(result, 0) << "before step " << code;
    rig.host.RunUntil([&] { return rig.events.HasInterface(0, code) || Failed(rig); }, 60000);
    return result == 0 && rig.events.HasInterface(0, code) && !Failed(rig);
  };
  (void)(step(rig.control.StartTransaction(kDateTime, 12.50, 978, false), 1102) &&
         step(rig.control.EnterPIN(), 1103) &&
         step(rig.control.GetFirstCrypto(h.decision, h.blacklisted), 1104) &&
         step(rig.control.GetSecondCrypto(0, h.script71, h.script72, kIad, "3030"), 1106));
  rig.host.RunFor(10000);
}

// A chip purchase with PIN, the host stepping through it. A new amount once
// the card data is read restarts the chip application; at any other step it
// is refused and changes nothing, as is a decision outside 0-4. The
// cardholder takes longer than a reply timeout to choose the application,
// confirm the amount and enter the PIN: none of the three requests has one.
TEST(PurchaseFlow, ChipPurchaseWithPinAndANewAmount) {
  emu::EmulatorConfig config;
  config.delays.perMessageMs["C01"] = 4000;
  config.cardholder.amountDelayMs = config.cardholder.pinDelayMs = 4000;
  TxnRig rig(config);
  rig.Ready();
  EXPECT_EQ(rig.control.ChangeTransactionAmount(20.00), 1);
  ASSERT_EQ(rig.control.StartTransaction(kDateTime, 12.50, 978, false), 0);
  ASSERT_TRUE(rig.RunToEvent(0, 1102));
  EXPECT_EQ(rig.Tag("PAN"), "4761739001010010");
  EXPECT_EQ(rig.Tag("TRACK2"), "4761739001010010=2712201123456789");
  EXPECT_EQ(rig.NewRequests(), kCardData);
  rig.Forget();
  // 20.125: 2012 minor units for the chip, 20.13 on the screen.
  ASSERT_EQ(rig.control.ChangeTransactionAmount(20.125), 0);
  ASSERT_TRUE(rig.RunToEvent(0, 1102));
  EXPECT_EQ(rig.control.fState, STATE_CARD_DATA_READY);
  EXPECT_EQ(rig.Trace(8),
            Texts{"\xA4\xA4\xA4\xA4\xA4\xA4\xA4\xA4\xA4 Transaction Amount Changed... "
                  "\xA4\xA4\xA4\xA4\xA4\xA4\xA4\xA4\xA4"});
  EXPECT_EQ(rig.Trace(10), (Texts{"Kaart sisestatud!", "ICC Rakendus k\xE4ivitatud."}));
  ASSERT_EQ(rig.control.EnterPIN(), 0);
  ASSERT_TRUE(rig.RunToState(STATE_AMOUNT_CONFIRM_ACKED));
  EXPECT_EQ(rig.control.ChangeTransactionAmount(30.00), 1);
  ASSERT_TRUE(rig.RunToEvent(0, 1103));
  EXPECT_EQ(rig.control.fState, STATE_PIN_DONE);
  ASSERT_EQ(rig.control.GetFirstCrypto(0, false), 0);
  ASSERT_TRUE(rig.RunToEvent(0, 1104));
  EXPECT_EQ(rig.Tag("9F27"), "80");
  for (int16_t decision : {-1, 5}) {
    EXPECT_EQ(rig.control.GetSecondCrypto(decision, kScript10, "", "AABB", "3035"), 7);
    rig.host.RunFor(10000);
    EXPECT_EQ(rig.control.fState, STATE_AUTHORISATION);
  }
  ASSERT_EQ(rig.control.GetSecondCrypto(0, "", "", kIad, "3030"), 0);
  ASSERT_TRUE(rig.RunToEvent(0, 1106));
  rig.host.RunFor(10000);
  EXPECT_EQ(rig.control.fState, STATE_TRANSACTION_DONE);
  EXPECT_EQ(rig.NewRequests(),
            Cat({{"C0000101260304120000000000002012", "C0100000000020120000000000000978", kC20,
                  "C170010000000DC4004F800DC4000A800", "C181000200000050000",
                  "C2620.13           Ei   Jah", "C02000100010"},
                 kFirstAc,
                 kSecondAc}));
  EXPECT_EQ(rig.Interfaces(), kSteps);
  EXPECT_EQ(rig.pad.Core().Pad().Transaction().amount, "000000002012");
  // What the host reads for its receipt: the card's final data as the pad holds it.
  EXPECT_EQ(rig.Tag("9F26"), rig.pad.Core().Pad().Transaction().tags.at("9F26"));
  EXPECT_EQ(rig.Tag("9F27"), "40");
  EXPECT_EQ(rig.Tag("AUTHRESP"), "3030");
  EXPECT_EQ(rig.Tag("9F36"), "0012");
  EXPECT_EQ(rig.Tag("CSN"), "1");
  EXPECT_EQ(rig.Tag("AID"), "A0000000031010");
}

// The purchase as the terminal, the cardholder, the card and the host's own
// answers change it. The cardholder always tries to bypass the PIN: the
// terminal's PIN bypass answer decides the C02 request's last digit, and the
// card records the bypass only when allowed. Only "F3" and "0D" confirm the
// amount: "F1" leaves the control waiting in 260. A blacklisted card's TVR is
// read, marked as on the exception file (byte 1, 0x10) and written back
// before the first cryptogram; decision 7 is sent as 1. Issuer scripts go in
// blocks of at most 240 bytes, all of 71 before 72; a script the card failed
// ("99") does not stop the transfer. The second cryptogram reports one result
// per script (FF51) and the TSI (9B) shows scripts performed.
TEST(PurchaseFlow, TerminalCardholderCardAndHostChoices) {
  struct Row {
    const char* name;
    Host host;
    Texts requests;
    std::string tags;
    std::optional<bool> pinBypass = false;
    std::string key = "F3";  // pressed at the amount confirmation
    Events events = kSteps;
    int16_t state = STATE_TRANSACTION_DONE;
  };
  const Texts done = Cat({kFirstAc, kSecondAc});
  Texts refused = ToPin();
  refused.pop_back();  // no C02 after the refusal
  const Texts toScripts = Cat({ToPin(), kFirstAc});
  const std::string first = "0812404A" + Repeat("4A", 239), rest = "191060" + Repeat("0F", 60);
  const std::string scripts = "FF51=2000000000 9B=EC00 95=0000000000";
  const Row rows[] = {
      {"bypass allowed", {}, ToPin('2', done), "95=0000080000 9F34=3F0001", true},
      {"bypass not allowed", {}, ToPin('0', done), "95=0000000000 9F34=420300"},
      {"bypass unanswered", {}, ToPin('0', done), "95=0000000000 9F34=420300", std::nullopt, "0D"},
      {"amount not confirmed",
       {},
       refused,
       "95= 9F34=",
       true,
       "F1",
       Steps(2, {IE(1, 27, "")}),
       STATE_AMOUNT_CONFIRM_ACKED},
      {"blacklisted",
       {.blacklisted = true, .decision = 7},
       Cat({ToPin(), {"C20019500", "C210195000059000000400", "C831", kFirstAc[1]}, kSecondAc}),
       "95=9000000400"},
      {"script 71",
       {.script71 = kScript10},
       Cat({toScripts, {"C2571001010" + kScript10Hex}, kSecondAc}),
       scripts},
      {"script 72 in two blocks",
       {.script72 = kScript300},
       Cat({toScripts, {"C2572" + first, "C2572" + rest}, kSecondAc}),
       scripts},
      {"both, 71 failed",
       {.script71 = kScript300, .script72 = kScript10},
       Cat({toScripts, {"C2571" + first, "C2571" + rest, "C2572001010" + kScript10Hex}, kSecondAc}),
       "FF51=10000000002000000000 9B=EC00 95=0000000020"},
  };
  const Texts toAmount = {"Eemalda kaart", "Sisesta kaart", "Kaart sisestatud!",
                          "ICC Rakendus k\xE4ivitatud.", "Summa kinnitamine"};
  const Texts prompts = Cat({toAmount, {"Sisesta PIN", "PIN OK."}});
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    emu::EmulatorConfig config;
    config.cardholder.bypassPin = true;
    config.cardholder.amountKey = row.key;
    if (!row.host.script71.empty() && !row.host.script72.empty())
      config.faults = {{emu::FaultKind::FailStatus, "C2571", 1, 1, "99"}};
    emu::PadState pad;
    if (row.host.blacklisted) pad.cardProfile.tags["9500"] = "8000000400";
    auto terminal = ExampleTerminal();
    terminal.pinBypass = row.pinBypass;
    TxnRig rig(config, pad, terminal);
    rig.Ready();
    Purchase(rig, row.host);
    EXPECT_EQ(rig.NewRequests(), row.requests);
    EXPECT_EQ(rig.Interfaces(), row.events);
    EXPECT_EQ(rig.control.fState, row.state);
    ExpectTags(rig, row.tags);
    // The cardholder's prompts.
    EXPECT_EQ(rig.Trace(10), row.state == STATE_TRANSACTION_DONE ? prompts : toAmount);
    if (row.state == STATE_TRANSACTION_DONE) {
      EXPECT_EQ(rig.pad.Core().Pad().Transaction().issuerAuthData, kIad);
      EXPECT_EQ(rig.pad.Core().Pad().Transaction().issuerArc, "3030");
    }
  }
}

// A reply the purchase cannot go on with ends it there: nothing more is sent.
// A failure status gives Code 100 + status with its text and state 1000; at
// the amount confirmation the host also hears that the amount was not
// confirmed (Code 27). Tag data that does not parse is NAKed like a bad check
// byte: the third bad frame and the pad's last resend each end with EOT and
// Code 19, the state stays and none of its values is stored.
TEST(PurchaseFlow, AReplyThatCannotBeUsedEndsThePurchase) {
  struct Row {
    std::string request, reply;  // the request by its start; a status or the whole reply
    bool blacklisted;
    size_t steps;  // purchase events raised before the failure
    int32_t code;
    std::string text;
    int16_t state = STATE_RESULT_ERROR;
    std::string tags = "";  // KEY=value as stored afterwards
  };
  const Row rows[] = {
      {"C23", "09", false, 0, 109, "Comm failure"},
      {"C00", "23", false, 1, 123, "Card removed"},
      {"C01", "26", false, 1, 126, "Invalid app"},
      {"C20055F", "12", false, 1, 112, ""},
      {"C17", "05", false, 2, 105, "Invalid config"},
      {"C18", "02", false, 2, 102, "Invalid data format"},
      {"C26", "05", false, 2, 105, "Invalid config"},
      // the pad's own timeout at the confirmation is no failure of the card: 27 alone
      {"C26", "06", false, 2, 0, "", STATE_AMOUNT_CONFIRM_ACKED},
      {"C02", "31", false, 2, 131, "Pin retry limit"},
      {"C20019500", "27", true, 3, 127, "Do absent"},
      {"C2101", "62", true, 3, 162, "Tag already present"},
      {"C83", "22", false, 3, 122, "Chip error"},
      {"C20089F", "59", false, 3, 159, "Tag not found"},
      {"C25", "74", false, 4, 174, "Script error"},
      {"C2102", "65", false, 4, 165, "Cond not satisfied"},
      {"C84", "XX", false, 4, 190, ""},
      {"C20079F", "41", false, 4, 141, "ICC data missing"},
      // 5F28, 5F34, 82, 9F33; 5F2D missing
      {"C20055F", "C20000020246001070021980003A1B2C3", false, 1, 19, "", STATE_CARD_DATA_READY,
       "CSN=0 82= 9F33="},
      // 9F27, 9F10, 9F26, 9F36; 9F37 two bytes short
      {"C20089F", "C200000140003AABBCC0080102030405060708002009900041234", false, 3, 19, "",
       STATE_FIRST_AC_DATA_ACKED, "9F10= 9F26= 9F36="},
      // the TVR one byte short
      {"C20019500", "C200000580000000", true, 3, 19, "", STATE_TVR_READ_ACKED, "95=0000000000"},
      // 9F27, 9F10, 9F26, 9F36, 9F37; 95 short
      {"C20079F", "C200000100002BEEF008FFEEDDCCBBAA99880020123004CAFEBABE00500000", false, 4, 19,
       "", STATE_FINAL_DATA_ACKED, "9F10=06010A03A00000"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.request + " answered " + row.reply);
    emu::EmulatorConfig config;
    const bool status = row.reply.size() == 2;
    if (status) config.faults = {{emu::FaultKind::FailStatus, row.request, 1, 1, row.reply}};
    TxnRig rig(config);
    if (!status) {
      rig.pad.Core().Handlers().Add(
          {row.request, emu::PadApp::Payment, nullptr,
           [&](const std::string&, emu::PadServices& pad) { pad.Reply(row.reply); }, nullptr});
    }
    rig.Ready();
    Purchase(rig, {.blacklisted = row.blacklisted, .script71 = kScript10});
    const Texts tvr = {"C20019500", "C210195000051000000000"};
    Texts all = Cat({ToPin(),
                     row.blacklisted ? tvr : Texts{},
                     kFirstAc,
                     {"C2571001010" + kScript10Hex},
                     kSecondAc});
    auto failed = std::ranges::find_if(all, [&](auto& t) { return t.starts_with(row.request); });
    ASSERT_NE(failed, all.end());
    EXPECT_EQ(rig.NewRequests(), Texts(all.begin(), failed + 1));
    Events failure = {IE(1, row.code, row.text)};
    if (row.code == 19) failure.push_back(failure.back());
    Events want = Steps(row.steps, row.code ? failure : Events{});
    if (row.request == "C26") want.push_back(IE(1, 27, ""));
    EXPECT_EQ(rig.Interfaces(), want);
    EXPECT_EQ(rig.control.fState, row.state);
    ExpectTags(rig, row.tags);
  }
}

}  // namespace
}  // namespace korvex::testing
