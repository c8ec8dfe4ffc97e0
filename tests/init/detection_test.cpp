// The connection test against the emulated PIN pad: with the payment
// application running, with the loader running, and with a pad that falls
// silent at each step.
#include <gtest/gtest.h>

#include <algorithm>

#include "init/init_rig.h"

namespace korvex::testing {
namespace {

TEST(ConnectionTest, FindsThePaymentApplicationOrSwitchesToItFromTheLoader) {
  const struct {
    emu::PadApp app;
    Texts requests, replies, trace;
  } rows[] = {
      {emu::PadApp::Payment,
       {"P01"},
       {"P010002"},
       {"PinPad connected!", "Rakenduse EMVApp tuvastamine...", "EMVApp tuvastatud"}},
      {emu::PadApp::Loader,
       {"P01", "L00", "L0302", "P01"},
       {"KD0", "P00", "P010002"},
       {"PinPad connected!", "Rakenduse EMVApp tuvastamine...", "TIMEOUT!!!!!!!!!!!",
        "LoaderApp suggested.", "Rakenduse LoaderApp tuvastamine...",
        "Rakendus LoaderApp tuvastatud", "TIMEOUT!!!!!!!!!!!", "K\xE4ivitan EMVApp...",
        "Rakenduse EMVApp tuvastamine...", "EMVApp tuvastatud"}},
  };
  for (const auto& row : rows) {
    InitRig rig(StalePad(row.app));
    rig.Ready();
    EXPECT_EQ(rig.Requests(), row.requests);
    EXPECT_EQ(rig.Requests(false, emu::Direction::FromPad), row.replies);
    EXPECT_EQ(rig.events.Interfaces(), Events{IE(0, 1107, "EmvApp is ready")});
    EXPECT_EQ(rig.Trace(8), row.trace);
    EXPECT_EQ(rig.Pad().App(), emu::PadApp::Payment);
  }
}

// From the request the pad reads no more on, the state's error comes 3000 ms
// after it (never ACKed) and again at every expiry; nothing is resent.
TEST(ConnectionTest, SilentPadRepeatsItsErrorAtEveryExpiry) {
  const struct {
    emu::PadApp app;
    const char* stalledAt;
    int occurrence;
    int16_t state;
    RecordedEvent error;
  } rows[] = {
      {emu::PadApp::Payment, "P01", 1, 600, IE(1, 44, "PinPad application/connection error.")},
      {emu::PadApp::Loader, "L00", 1, 602, IE(1, 44, "Invalid LoaderApp suggestion.")},
      {emu::PadApp::Loader, "L0302", 1, 604, IE(1, 44, "EMVApp switch failed.")},
      {emu::PadApp::Loader, "P01", 2, 620, IE(1, 44, "EMVApp not responding after switch.")},
      {emu::PadApp::Payment, "D03", 1, STATE_D03_SENT, IE(1, 17, "PinPad timeout")},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.stalledAt);
    emu::EmulatorConfig config;
    emu::FaultRule& stall = config.faults.emplace_back();
    stall.kind = emu::FaultKind::Stall;
    stall.message = row.stalledAt;
    stall.occurrence = row.occurrence;
    InitRig rig(StalePad(row.app), config);
    if (row.state == STATE_D03_SENT) {
      rig.Ready();
      ASSERT_EQ(rig.control.InitTransaction(), 0);
    } else {
      ASSERT_EQ(rig.control.setTerminalObject(rig.terminal), 0);
      ASSERT_EQ(rig.control.PerformConnectionTest(1), 0);
    }
    auto errors = [&] { return std::ranges::count(rig.events.all, row.error); };
    ASSERT_TRUE(rig.host.RunUntil([&] { return errors() == 1; }, 20000));
    const Texts sent = rig.Requests();
    EXPECT_TRUE(sent.back().starts_with(row.stalledAt));
    EXPECT_EQ(rig.host.NowMs() - rig.host.WireLog().back().timeMs, 3000);
    rig.host.RunFor(2999);
    EXPECT_EQ(errors(), 1);
    rig.host.RunFor(1);
    EXPECT_EQ(errors(), 2);
    rig.host.RunFor(3000);
    EXPECT_EQ(errors(), 3);
    EXPECT_EQ(rig.Requests(), sent);
    EXPECT_EQ(rig.control.fState, row.state);
  }
}

}  // namespace
}  // namespace korvex::testing
