// The connection test and InitTransaction against the emulated PIN pad: the
// payment application found at once or through the loader, a pad falling
// silent at each step, and the version record deciding what is to be done.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>

#include "init/init_rig.h"

namespace korvex::testing {
namespace {

TEST(ConnectionTest, PaymentApplicationRunning) {
  InitRig rig;
  rig.Ready();
  EXPECT_EQ(rig.Requests(), Texts{"P01"});
  EXPECT_EQ(rig.events.Interfaces(), Events{IE(0, 1107, "EmvApp is ready")});
  EXPECT_EQ(rig.Trace(8),
            (Texts{"PinPad connected!", "Rakenduse EMVApp tuvastamine...", "EMVApp tuvastatud"}));
}

TEST(ConnectionTest, LoaderRunningIsSwitchedToThePaymentApplication) {
  InitRig rig(StalePad(emu::PadApp::Loader));
  rig.Ready();
  EXPECT_EQ(rig.Requests(), (Texts{"P01", "L00", "L0302", "P01"}));
  EXPECT_EQ(rig.Requests(emu::Direction::FromPad), (Texts{"KD0", "P00", "P010002"}));
  EXPECT_EQ(rig.events.Interfaces(), Events{IE(0, 1107, "EmvApp is ready")});
  EXPECT_EQ(rig.Trace(8),
            (Texts{"PinPad connected!", "Rakenduse EMVApp tuvastamine...", "TIMEOUT!!!!!!!!!!!",
                   "LoaderApp suggested.", "Rakenduse LoaderApp tuvastamine...",
                   "Rakendus LoaderApp tuvastatud", "TIMEOUT!!!!!!!!!!!", "K\xE4ivitan EMVApp...",
                   "Rakenduse EMVApp tuvastamine...", "EMVApp tuvastatud"}));
  EXPECT_EQ(rig.Pad().App(), emu::PadApp::Payment);
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
    ASSERT_EQ(rig.control.setTerminalObject(rig.terminal), 0);
    ASSERT_EQ(rig.control.PerformConnectionTest(1), 0);
    if (row.state == STATE_D03_SENT) {
      rig.host.RunFor(100);
      ASSERT_EQ(rig.control.InitTransaction(), 0);
    }
    auto errors = [&] { return std::ranges::count(rig.events.all, row.error); };
    ASSERT_TRUE(rig.host.RunUntil([&] { return errors() == 1; }, 20000));
    const Texts sent = rig.Requests();
    EXPECT_TRUE(sent.back().starts_with(row.stalledAt));
    EXPECT_EQ(rig.host.NowMs() - rig.host.WireLog().back().timeMs, 3000);
    for (int n = 1; n <= 3; ++n) {
      EXPECT_EQ(errors(), n);
      rig.host.RunFor(2999);
      EXPECT_EQ(errors(), n);
      rig.host.RunFor(1);
    }
    EXPECT_EQ(rig.Requests(), sent);
    EXPECT_EQ(rig.control.fState, row.state);
  }
}

// Over a connection that went after the connection test. Keys differing or no
// version read: the loader is started, found once booted, and put in download
// mode. A record too short to compare leaves nothing to do.
TEST(Initialisation, VersionRecordDecidesBetweenDoneAndLoader) {
  const char* const loader = "K\xE4ivitan LoaderApp...";
  const char* const keyDownload = "K\xE4ivitan LoaderApp v\xF5tmete allalaadimiseks...";
  const std::string same = Version(kReference, kChecksum);
  const struct {
    const char* name;
    std::optional<std::string> version;  // none: never saved, the reply is "D0305"
    bool keysReordered;
    Texts mask;
    const char* loaderTrace;  // null: nothing to do
  } rows[] = {
      {"same", same, false, {"DownloadMask=0"}, nullptr},
      {"key order", same, true, {"DownloadMask=1"}, loader},
      {"keys and tables", Version("X", "Y"), false, {"DownloadMask=3"}, loader},
      {"never saved", std::nullopt, false, {}, keyDownload},
      {"12 FS", same.substr(0, same.size() - 6), false, {}, nullptr},
      {"empty", "", false, {}, nullptr},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    emu::PadState state = StalePad();
    state.tables.erase(emu::kVersionTable);
    if (row.version) state.tables[emu::kVersionTable] = {*row.version};
    JsonTerminal::Config terminal = ExampleTerminal();
    if (row.keysReordered) std::ranges::rotate(terminal.caKeys, terminal.caKeys.begin() + 2);
    InitRig rig(state, {}, terminal);
    EXPECT_EQ(rig.control.InitTransaction(), 1);  // no terminal bound, no connection test
    rig.Ready();
    rig.control.Winsock1->Close();
    rig.host.RunFor(5);
    rig.host.ClearWireLog();
    rig.events.Clear();

    ASSERT_EQ(rig.control.InitTransaction(), 0);
    EXPECT_EQ(rig.control.fState, STATE_CONNECT_INIT);
    if (row.loaderTrace == nullptr) {
      rig.host.RunFor(100);
      EXPECT_EQ(rig.host.Written(SimSide::Control),
                "SETCOMM19200,n,8,1  "s + STX + "D0303001" + ETX + "v" + ACK);  // "v": the LRC
      EXPECT_EQ(rig.events.Interfaces(), Events{IE(0, 1100, "Init completed")});
      EXPECT_EQ(rig.control.fState, STATE_INIT_DONE);
      EXPECT_EQ(rig.control.InitTransaction(), 1);
    } else {
      // I07, then L00 every 3000 ms until the loader has booted (4000 ms).
      ASSERT_TRUE(rig.host.RunUntil([&] { return rig.control.fState == 131; }, 20000));
      rig.host.RunFor(1);  // L0202 reaches the pad; its ACK is still on the way
      EXPECT_EQ(rig.Requests(), (Texts{"P01", "D0303001", "I07", "L00", "L00", "L00", "L0202"}));
      EXPECT_EQ(rig.Trace(10).front(), row.loaderTrace);
      EXPECT_EQ(rig.Trace(10).back(), "K\xE4ivitan \"Download mode\"");
      EXPECT_TRUE(rig.events.Interfaces().empty());
    }
    EXPECT_EQ(rig.Trace(5, "DownloadMask="), row.mask);
    EXPECT_EQ(rig.host.ConnectionCount(), 2);
  }
}

}  // namespace
}  // namespace korvex::testing
