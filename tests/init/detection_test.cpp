// The connection test against the emulated PIN pad: with the payment
// application running, with the loader running, and with a pad that falls
// silent at each step.
#include <gtest/gtest.h>

#include "init/init_rig.h"

namespace korvex::testing {
namespace {

TEST(ConnectionTest, PaymentApplicationRunning) {
  InitRig rig;
  rig.Ready();
  EXPECT_EQ(rig.Requests(), Texts{"P01"});
  EXPECT_EQ(rig.events.Interfaces(), Events{IE(0, 1107, "EmvApp is ready")});
  EXPECT_EQ(rig.Trace({8, 10}),
            (Texts{"PinPad connected!", "Rakenduse EMVApp tuvastamine...", "EMVApp tuvastatud"}));
  EXPECT_TRUE(rig.host.Written(SimSide::Control).starts_with("SETCOMM19200,n,8,1  \x02P01\x03"));
  rig.ExpectNoViolations();
}

TEST(ConnectionTest, LoaderRunningIsSwitchedToThePaymentApplication) {
  emu::PadState state = StalePad();
  state.app = emu::PadApp::Loader;
  InitRig rig(state);
  rig.Ready();
  EXPECT_EQ(rig.Requests(), (Texts{"P01", "L00", "L0302", "P01"}));
  EXPECT_EQ(rig.events.Interfaces(), Events{IE(0, 1107, "EmvApp is ready")});
  EXPECT_EQ(rig.Trace({8, 10}),
            (Texts{"PinPad connected!", "Rakenduse EMVApp tuvastamine...", "TIMEOUT!!!!!!!!!!!",
                   "LoaderApp suggested.", "Rakenduse LoaderApp tuvastamine...",
                   "Rakendus LoaderApp tuvastatud", "TIMEOUT!!!!!!!!!!!", "K\xE4ivitan EMVApp...",
                   "Rakenduse EMVApp tuvastamine...", "EMVApp tuvastatud"}));
  // 3000 ms after the ACK of the unanswered P01; 500 ms after KD0; P00 comes
  // when the payment application has started (2000 ms).
  const int64_t p01 = rig.SentAt("P01");  // the second one
  const int64_t l0302 = rig.SentAt("L0302");
  const int64_t l00 = rig.SentAt("L00");
  EXPECT_EQ(l00, 1 + 2 + 3000);  // P01 sent once connected (1 ms), ACK round trip
  EXPECT_EQ(l0302 - l00, 2 + 500);
  EXPECT_EQ(p01 - l0302, 1 + 2000 + 1);
  EXPECT_EQ(rig.Pad().App(), emu::PadApp::Payment);
  rig.ExpectNoViolations();
}

struct Silence {
  emu::PadApp app;
  const char* stalledAt;  // the request from which on the pad reads nothing
  int occurrence;
  bool init;  // InitTransaction after the connection test
  int16_t state;
  RecordedEvent error;
};

TEST(ConnectionTest, SilentPadRepeatsItsErrorAtEveryExpiry) {
  const Silence rows[] = {
      {emu::PadApp::Payment, "P01", 1, false, 600,
       IE(1, 44, "PinPad application/connection error.")},
      {emu::PadApp::Loader, "L00", 1, false, 602, IE(1, 44, "Invalid LoaderApp suggestion.")},
      {emu::PadApp::Loader, "L0302", 1, false, 604, IE(1, 44, "EMVApp switch failed.")},
      {emu::PadApp::Loader, "P01", 2, false, 620, IE(1, 44, "EMVApp not responding after switch.")},
      {emu::PadApp::Payment, "D03", 1, true, 127, IE(1, 17, "PinPad timeout")},
  };
  for (const Silence& row : rows) {
    SCOPED_TRACE(row.stalledAt);
    emu::PadState state = StalePad();
    state.app = row.app;
    emu::EmulatorConfig config;
    emu::FaultRule stall;
    stall.kind = emu::FaultKind::Stall;
    stall.message = row.stalledAt;
    stall.occurrence = row.occurrence;
    config.faults.push_back(stall);
    InitRig rig(state, config);
    ASSERT_EQ(rig.control.setTerminalObject(rig.terminal), 0);
    ASSERT_EQ(rig.control.PerformConnectionTest(1), 0);
    if (row.init) {
      ASSERT_TRUE(rig.host.RunUntil([&] { return rig.control.fState == 111; }, 5000));
      ASSERT_EQ(rig.control.InitTransaction(), 0);
    }
    auto errors = [&] {
      int n = 0;
      for (const auto& e : rig.events.all) n += e == row.error;
      return n;
    };
    ASSERT_TRUE(rig.host.RunUntil([&] { return errors() == 1; }, 20000));
    const Texts sent = rig.Requests();
    EXPECT_EQ(rig.host.NowMs() - rig.SentAt(sent.back()), 3000);  // never ACKed
    EXPECT_TRUE(sent.back().starts_with(row.stalledAt));
    for (int n = 2; n <= 3; ++n) {  // the same error, every 3000 ms, nothing resent
      rig.host.RunFor(2999);
      EXPECT_EQ(errors(), n - 1);
      rig.host.RunFor(1);
      EXPECT_EQ(errors(), n);
    }
    EXPECT_EQ(rig.Requests(), sent);
    EXPECT_EQ(rig.control.fState, row.state);
    rig.ExpectNoViolations();
  }
}

}  // namespace
}  // namespace korvex::testing
