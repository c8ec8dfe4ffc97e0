// The magnetic stripe beside the chip transaction, against the emulated PIN
// pad: the fallback check of a service code (C22) and the swipe read on its
// own (MagnetReader), with chip cards swiped where a stripe is wanted and
// track messages the control cannot read.
#include <gtest/gtest.h>

#include <functional>

#include "emulator/core/time_units.h"
#include "harness/scripted_peer.h"
#include "transaction/txn_rig.h"

namespace korvex::testing {
namespace {

const std::string kSwipe = "Z2\x1A  T6mba kaart      Swipe card";
const std::string kStripeTrack = "5413330089020011=2512101000000000";

// Service codes starting with 2 or 6 need the chip, whatever a stripe card
// would get.
TEST(FallbackCheckFlow, EachResultTellsChipOrStripeAndLeavesTheControlReady) {
  struct Row {
    const char* reply;
    std::string code, noChip;
    bool fromIdle;
    RecordedEvent event;
  } rows[] = {
      {"00", "101", "00", false, IE(0, 1105, "M")},
      {"21", "101", "21", false, IE(0, 1105, "M")},
      {"20", "201", "00", true, IE(0, 1105, "C")},
      {"20", "601", "21", false, IE(0, 1105, "C")},
      {"99", "101", "00", false, IE(1, 25, "FallbackCheck response = '99'")},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.code + "/" + row.reply);
    emu::EmulatorConfig config;
    config.replies.serviceCodeNoChip = row.noChip;
    if (row.reply == std::string("99"))
      config.faults = {{emu::FaultKind::FailStatus, "C22", 1, 1, "99"}};
    TxnRig rig(config);
    rig.Ready();
    if (row.fromIdle) rig.control.ColdReset();
    EXPECT_EQ(rig.control.CheckServiceCode("20A"), 7);
    EXPECT_EQ(rig.control.CheckServiceCode("2001"), 7);
    ASSERT_EQ(rig.control.CheckServiceCode(row.code), 0);
    EXPECT_EQ(rig.control.fState, row.fromIdle ? STATE_CONNECT_SERVICE_CODE : 301);
    ASSERT_TRUE(rig.RunToEvent(row.event.type, row.event.code));
    rig.host.RunFor(5000);
    EXPECT_EQ(rig.RouterLines(), row.fromIdle ? 2u : 1u);
    EXPECT_EQ(rig.NewRequests(), Texts{"C22" + row.code});  // no prompt: no chip start asked
    EXPECT_EQ(rig.Interfaces(), Events{row.event});
    EXPECT_EQ(rig.control.fState, STATE_EMVAPP_READY);
  }
}

// During a chip start the code is only kept. The control reaches a C22 again
// only from idle: here the chip start times out, the cardholder swipes a
// stripe card instead, and the host checks its service code; the reply then
// also brings the insert prompt back.
TEST(FallbackCheckFlow, AskedDuringTheChipStartTheNextReplyShowsTheInsertPromptAgain) {
  emu::EmulatorConfig config;
  config.cardholder.entry = emu::CardEntry::Swipe;  // a chip card: to the chip reader
  config.faults = {{emu::FaultKind::FailStatus, "C00", 1, 1, "06"}};
  config.delays.perMessageMs["C00"] = 1000;
  TxnRig rig(config);
  rig.Ready();
  ASSERT_EQ(rig.control.StartTransaction(kDateTime, 12.50, 978, true), 0);
  ASSERT_TRUE(rig.RunToState(STATE_CHIP_START_ACKED));
  rig.Forget();
  EXPECT_EQ(rig.control.CheckServiceCode("201"), 0);
  EXPECT_TRUE(rig.control.ServiceCodeChecked);
  EXPECT_EQ(rig.control.fState, STATE_CHIP_START_ACKED);
  rig.pad.Core().Pad().Profile() = emu::StripeCard();

  ASSERT_TRUE(rig.RunToEvent(5, 0));
  EXPECT_EQ(rig.NewRequests(), (Texts{"Q40", kInsert, "I050"}));
  EXPECT_EQ(rig.Interfaces(), Events{IE(5, 0, kStripeTrack)});
  EXPECT_EQ(rig.control.fState, STATE_IDLE);

  rig.pad.Core().SetCardholder({.entry = emu::CardEntry::None});
  rig.Forget();
  ASSERT_EQ(rig.control.CheckServiceCode("101"), 0);
  ASSERT_TRUE(rig.RunToEvent(0, 1105));
  rig.host.RunFor(1500);  // the prompt's card entry polls the chip reader
  EXPECT_EQ(rig.NewRequests(), (Texts{"C22101", kInsert, "I050", "I050"}));
  EXPECT_EQ(rig.Interfaces(), Events{IE(0, 1105, "M")});
  EXPECT_FALSE(rig.control.ServiceCodeChecked);
  EXPECT_EQ(rig.control.fState, STATE_CARD_POLL_ACKED);
}

// The cardholder swipes once more 500 ms after the pad turns swipe reading on
// again (the control's answer to a chip card in a swipe read); the pad sends
// what `track` makes of the card then at hand. The emulator's own cardholder
// acts on prompts only.
using TrackOf = std::function<std::string(const emu::CardProfile&)>;
void SwipeAgainOnQ40(TxnRig& rig, TrackOf track) {
  auto& table = rig.pad.Core().Handlers();
  emu::MessageHandler h = *table.Find("Q40", emu::PadApp::Payment);
  h.handle = [base = h.handle, track](const std::string& text, emu::PadServices& pad) {
    const bool again = text == "Q40" && pad.Pad().Transaction().swipeReading;
    base(text, pad);
    if (again)
      pad.AfterUs(emu::MsToUs(500), [&pad, track] { pad.Announce(track(pad.Pad().Profile())); });
  };
  table.Add(std::move(h));
}

TEST(MagnetReaderFlow, AChipCardIsRefusedUntilAStripeIsSwiped) {
  const TrackOf swiped = [](const emu::CardProfile& card) {
    return "81." + std::string(card.HasChip() ? "*" : "") + ";" + card.track2 + "?" + FS;
  };
  const std::string noFs = "81.;" + kStripeTrack + "?";
  const std::string fsFirst = "81." + std::string(1, FS) + ";" + kStripeTrack + "?";
  const auto unreadable = [](const std::string& text) {
    return IE(1, 25, "Function='ProcessTrack2Msg'; State=405; Message='" + WithLrc(text) + "'.");
  };
  struct Row {
    const char* name;
    bool connected;
    TrackOf second;
    RecordedEvent event;
    int16_t finalState;
  } rows[] = {
      {"stripe", true, swiped, IE(5, 0, kStripeTrack), STATE_IDLE},
      {"stripe, connecting first", false, swiped, IE(5, 0, kStripeTrack), STATE_IDLE},
      {"no FS", true, [&](const auto&) { return noFs; }, unreadable(noFs), STATE_MAGNET_WAIT},
      {"FS first", true, [&](const auto&) { return fsFirst; }, unreadable(fsFirst),
       STATE_MAGNET_WAIT},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    emu::EmulatorConfig config;
    config.cardholder.entry = emu::CardEntry::Swipe;
    TxnRig rig(config);
    SwipeAgainOnQ40(rig, row.second);
    rig.Ready();
    if (!row.connected) {
      rig.control.Winsock1->Close();  // the line dropped while ready
      rig.host.RunFor(10);
    }
    ASSERT_EQ(rig.control.MagnetReader(), 0);
    EXPECT_EQ(rig.control.fState, row.connected ? STATE_MAGNET_PROMPT_SENT : 400);
    ASSERT_TRUE(rig.RunToState(STATE_MAGNET_WAIT));
    EXPECT_EQ(rig.NewRequests(), (Texts{kSwipe, "Q40"}));
    EXPECT_EQ(rig.Trace(10), Texts{"Loe magnetrada"});
    EXPECT_FALSE(rig.control.TimeoutTimer->Enabled());
    EXPECT_EQ(rig.control.MagnetReader(), 1);
    EXPECT_EQ(rig.control.CheckServiceCode("101"), 1);

    // The chip card first: swipe reading is asked for again.
    ASSERT_TRUE(rig.host.RunUntil([&] { return rig.NewRequests().size() == 3; }, 1000));
    EXPECT_EQ(rig.control.fState, STATE_MAGNET_SWIPE_ON_SENT);
    ASSERT_TRUE(rig.RunToState(STATE_MAGNET_WAIT));
    EXPECT_FALSE(rig.control.TimeoutTimer->Enabled());
    EXPECT_EQ(rig.Interfaces(), Events{});
    rig.pad.Core().Pad().Profile() = emu::StripeCard();

    ASSERT_TRUE(rig.RunToEvent(row.event.type, row.event.code));
    rig.host.RunFor(5000);  // no time limit, nothing more
    EXPECT_EQ(rig.RouterLines(), row.connected ? 1u : 2u);
    EXPECT_EQ(rig.NewRequests(), (Texts{kSwipe, "Q40", "Q40"}));
    EXPECT_EQ(rig.Interfaces(), Events{row.event});
    EXPECT_EQ(rig.control.fState, row.finalState);
    EXPECT_EQ(rig.control.MagnetReader(), 1);
  }
}

}  // namespace
}  // namespace korvex::testing
