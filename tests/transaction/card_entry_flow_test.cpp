// Card entry against the emulated PIN pad: the ways a card comes in (chip
// reader, swiped chip card, swiped stripe card, a chip start that timed out,
// no card at all) and a warm reset asked for while the cardholder is busy.
#include <gtest/gtest.h>

#include <algorithm>

#include "transaction/txn_rig.h"

namespace korvex::testing {
namespace {

const std::string kStarted =
    "\xA4\xA4\xA4\xA4\xA4\xA4\xA4\xA4\xA4 Transaction Started... "
    "\xA4\xA4\xA4\xA4\xA4\xA4\xA4\xA4\xA4";
const std::string kTimeout = "TIMEOUT!!!!!!!!!!!";

// `run` appears in `all` as consecutive texts.
bool HasRun(const Texts& all, const Texts& run) {
  return std::search(all.begin(), all.end(), run.begin(), run.end()) != all.end();
}

TEST(CardEntryFlow, EachWayInReachesTheCardOrItsTrack) {
  emu::EmulatorConfig timedOut;
  timedOut.faults = {{emu::FaultKind::FailStatus, "C00", 1, 1, "06"}};
  emu::EmulatorConfig swiped;
  swiped.cardholder.entry = emu::CardEntry::Swipe;
  emu::PadState stripe;
  stripe.cardProfile = emu::StripeCard();
  const Events cardData{IE(0, 1101, "Card Inserted!"), IE(0, 1102, "Track2 received")};
  struct Row {
    const char* name;
    emu::EmulatorConfig config;
    emu::PadState state;
    bool connected, useMag;
    Texts requests;
    Events interfaces;
    Texts level8, level5Run;
    int16_t finalState;
  };
  const Row rows[] = {
      Row{"not connected",
          {},
          {},
          false,
          false,
          {"C23", "I02", kInsert, "I050", "I050", "Q41", kC00, kC010, kC20},
          cardData,
          {kStarted, "PinPad connected!", kTimeout},
          {},
          STATE_CARD_DATA_READY},
      // The card is still in the reader when the chip start times out: the
      // new polling cycle finds it at once.
      Row{"chip start timed out",
          timedOut,
          {},
          true,
          false,
          {"C23", "I02", kInsert, "I050", "I050", "Q41", kC00, "Q40", kInsert, "I050", "Q41", kC00,
           kC010, kC20},
          {IE(0, 1101, "Card Inserted!"), IE(0, 1101, "Card Inserted!"),
           IE(0, 1102, "Track2 received")},
          {kStarted, kTimeout, "Waiting for card..."},
          {},
          STATE_CARD_DATA_READY},
      // A swiped chip card goes to the chip reader; the pad answers the chip
      // start once it is inserted.
      Row{"chip card swiped",
          swiped,
          {},
          true,
          true,
          {"C23", "I02", "Q40", kInsert, "I050", kC00, kC010, kC20},
          cardData,
          {kStarted},
          {"Msg 81 at state=210", "Sending ACK", "<ACK> received at State=211"},
          STATE_CARD_DATA_READY},
      Row{"stripe card swiped",
          swiped,
          stripe,
          true,
          true,
          {"C23", "I02", "Q40", kInsert, "I050"},
          {IE(5, 0, "5413330089020011=2512101000000000")},
          {kStarted},
          {"Msg 81 at state=210", "Sending ACK", "<ACK> received at State=212"},
          STATE_IDLE},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    TxnRig rig(row.config, row.state);
    rig.Ready();
    if (!row.connected) rig.control.ColdReset();
    ASSERT_EQ(rig.control.StartTransaction(kDateTime, 12.50, 978, row.useMag), 0);
    const auto& last = row.interfaces.back();
    ASSERT_TRUE(rig.RunToEvent(last.type, last.code));
    rig.host.RunFor(5000);  // nothing follows: no resent ACK, no timeout
    EXPECT_EQ(rig.RouterLines(), row.connected ? 1u : 2u);
    EXPECT_EQ(rig.NewRequests(), row.requests);
    EXPECT_EQ(rig.Interfaces(), row.interfaces);
    EXPECT_EQ(rig.Trace(8), row.level8);
    EXPECT_TRUE(HasRun(rig.Trace(5), row.level5Run));
    EXPECT_EQ(rig.control.fState, row.finalState);
  }
}

TEST(CardEntryFlow, WithoutACardTheChipReaderIsPolledEverySecond) {
  emu::EmulatorConfig config;
  config.cardholder.entry = emu::CardEntry::None;
  TxnRig rig(config);
  rig.Ready();
  ASSERT_EQ(rig.control.StartTransaction(kDateTime, 12.50, 978, false), 0);
  rig.host.RunFor(5500);
  EXPECT_EQ(rig.NewRequests(),
            (Texts{"C23", "I02", kInsert, "I050", "I050", "I050", "I050", "I050", "I050"}));
  std::vector<int64_t> polls;
  for (const auto& e : rig.pad.Core().GetTranscript().Entries()) {
    if (e.direction == emu::Direction::ToPad && e.bytes.starts_with("\x02I050\x03"))
      polls.push_back(e.timeUs);
  }
  // The 1000 ms run from the "I050" reply, one round trip (2 ms on SimHost)
  // after the poll.
  for (size_t i = 1; i < polls.size(); ++i) EXPECT_EQ(polls[i] - polls[i - 1], 1002000) << i;
  EXPECT_EQ(rig.Interfaces(), Events{});
  EXPECT_TRUE(rig.control.fState == STATE_CARD_POLL_ACKED);
}

// The PIN pad waits for the cardholder in 252 (a swiped chip card not yet
// inserted) and 262 (PIN entry): the reset waits for the next reply, then
// runs and, the card being in the reader, waits for its removal.
TEST(CardEntryFlow, WarmResetAskedWhileTheCardholderActsRunsAtTheNextReply) {
  struct Row {
    int16_t state;
    std::string text;
  } rows[] = {{STATE_CHIP_START_ACKED, "Warm reset at ProcessC00()"}, {STATE_PIN_ACKED, ""}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.state);
    const bool swipe = row.state == STATE_CHIP_START_ACKED;
    emu::EmulatorConfig config;
    if (swipe) config.cardholder.entry = emu::CardEntry::Swipe;
    TxnRig rig(config);
    rig.Ready();
    ASSERT_EQ(rig.control.StartTransaction(kDateTime, 12.50, 978, swipe), 0);
    if (!swipe) {
      ASSERT_TRUE(rig.RunToEvent(0, 1102));
      ASSERT_EQ(rig.control.EnterPIN(), 0);
    }
    ASSERT_TRUE(rig.RunToState(row.state));
    rig.Forget();
    EXPECT_EQ(rig.control.WarmReset(), 31);
    rig.host.RunFor(100);
    EXPECT_EQ(rig.NewRequests(), Texts{});
    ASSERT_TRUE(rig.RunToEvent(0, 1200));
    EXPECT_EQ(rig.NewRequests(), (Texts{"72", "I050", "I02"}));
    EXPECT_EQ(rig.Interfaces(), (Events{IE(1, 27, row.text), IE(0, 1200, "Warm Reset Complete")}));
    EXPECT_EQ(rig.control.fState, STATE_IDLE);
    EXPECT_FALSE(rig.pad.Core().Pad().Card().present);
    rig.host.RunFor(10);
    EXPECT_FALSE(rig.pad.Core().Connected());
  }
}

}  // namespace
}  // namespace korvex::testing
