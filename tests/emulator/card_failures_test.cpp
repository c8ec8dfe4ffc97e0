// Failure statuses a scenario scripts for the card-transaction requests, the
// fallback check's answers, and the cardholder's choices.
#include <gtest/gtest.h>

#include "card_conversation.h"

namespace korvex::emu {
namespace {

using namespace testing;

struct Failure {
  const char* message;  // the fault's message and the request the purchase stops at
  std::string request;
  std::string reply;
};

TEST(CardFailures, ScriptedStatusAnswersEveryCardRequest) {
  const Failure cases[] = {
      {"C23", "C23", "C2305"},
      {"C010", "C0100000000012500000000000000978", "C0125"},
      {"C20", "C20" + kCardData, "C2012"},
      {"C17", "C170010000000DC4004F800DC4000A800", "C1705"},
      {"C18", "C1800000000000", "C1805"},
      {"C26", "C2612.50           Ei   Jah", "C2606"},
      {"C02", "C02000100010", "C0229"},
      {"C83", "C831", "C8322"},
      {"C21", kIssuerData, "C2133"},
      {"C84", "C840", "C8422"},
  };
  for (const Failure& f : cases) {
    SCOPED_TRACE(f.message);
    EmulatorConfig config;
    config.faults = {{FaultKind::FailStatus, f.message, 1, 1, f.reply.substr(3)}};
    RawLine line(config);
    Converse(line, PurchaseUntil(f.message));
    Converse(line, {{f.request, f.reply}});
    EXPECT_TRUE(line.emu.Violations().empty()) << line.emu.ViolationSummary();
  }
}

// "06" models a chip start that timed out: the control turns swiping on,
// prompts and polls again, and the card in the reader starts the next time.
TEST(CardFailures, ChipStartTimeoutThenTheChipStartsAgain) {
  EmulatorConfig config;
  config.faults = {{FaultKind::FailStatus, "C00", 1, 1, "06"}};
  RawLine line(config);
  Converse(line, PurchaseUntil("C00"));
  Converse(line, {{kChipStart, "C0006"},
                  {"Q40", ""},
                  {kInsertPrompt, ""},
                  {"I050", "I051"},
                  {"Q41", ""},
                  {kChipStart, "C0000" + kAid + kLabel + kLanguage}});
  EXPECT_TRUE(line.emu.Violations().empty()) << line.emu.ViolationSummary();
}

// A failed script block still counts: its continuation is taken, and the
// second cryptogram reports the script failed (TVR byte 5: before the final
// cryptogram).
TEST(CardFailures, FailedScriptBlockKeepsTheTransferGoing) {
  EmulatorConfig config;
  config.faults = {{FaultKind::FailStatus, "C2571", 1, 1, "99"}};
  RawLine line(config);
  Converse(line, PurchaseUntil("C21"));
  Converse(line, {{"C2571081" + V(std::string(480, 'A')), "C2599"},
                  {"C2571191" + V("BB"), "C2500"},
                  {kIssuerData, "C2100"},
                  {"C840", "C8400" + V("40") + V("3030") + "01" + "1000000000"},
                  {"C20019500", "C2000" + V("0000000020")}});
  EXPECT_TRUE(line.emu.Violations().empty()) << line.emu.ViolationSummary();
}

TEST(CardFailures, FallbackCheckByServiceCode) {
  const std::tuple<const char*, const char*, std::string> cases[] = {
      {"C22201", "00", "C2220"}, {"C22601", "00", "C2220"}, {"C22101", "00", "C2200"},
      {"C22101", "21", "C2221"}, {"C22501", "21", "C2221"},
  };
  for (const auto& [request, noChip, reply] : cases) {
    SCOPED_TRACE(request);
    EmulatorConfig config;
    config.replies.serviceCodeNoChip = noChip;
    RawLine line(config);
    EXPECT_EQ(line.Request(request), kAck + Frame(reply));
  }
}

struct Choice {
  const char* what;
  Cardholder cardholder;
  std::vector<Exchange> steps;  // from the amount confirmation on
  size_t violations = 0;
};

TEST(CardFailures, CardholderChoices) {
  const std::string amount = "C2612.50           Ei   Jah";
  const std::string pinDone = "C02000" + V("0000000000") + V("E800");
  const Choice cases[] = {
      {"refuses the amount",
       {.amountKey = "F1"},
       {{amount, "C2600F1", 1000}, {"C02000100010", "C0204"}},
       1},
      {"confirms with 0D",
       {.amountKey = "0D"},
       {{amount, "C26000D", 1000}, {"C02000100010", pinDone, 2000}}},
      {"bypasses the PIN",
       {.bypassPin = true},
       {{amount, "C2600F3", 1000},
        {"C02000100012", "C02000" + V("0000080000") + V("E800"), 2000},
        {"C20019F34", "C2000" + V("3F0001")}}},
      {"may not bypass",
       {.bypassPin = true},
       {{amount, "C2600F3", 1000}, {"C02000100010", pinDone, 2000}}},
      {"PIN entry fails, and again on a retry",
       {.pinStatus = "29"},
       {{amount, "C2600F3", 1000},
        {"C02000100010", "C0229", 2000},
        {"C02000100010", "C0229", 2000}}},
  };
  for (const Choice& c : cases) {
    SCOPED_TRACE(c.what);
    EmulatorConfig config;
    config.cardholder = c.cardholder;
    RawLine line(config);
    Converse(line, PurchaseUntil("C26"));
    Converse(line, c.steps);
    EXPECT_EQ(line.emu.Violations().size(), c.violations) << line.emu.ViolationSummary();
  }
}

TEST(CardFailures, CardholderWhoNeverPresentsTheCard) {
  EmulatorConfig config;
  config.cardholder.entry = CardEntry::None;
  RawLine line(config);
  Converse(line, PurchaseUntil("I050"));
  line.Run(60000);
  Converse(line, {{"I050", "I050"}});
}

}  // namespace
}  // namespace korvex::emu
