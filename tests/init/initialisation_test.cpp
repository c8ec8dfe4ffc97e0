// The connection test and InitTransaction against the emulated PIN pad, and
// the version record read back deciding what is to be done. A pad that falls
// silent during the detection: each state's error, repeating, in TimeoutTable.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <tuple>

#include "init/init_rig.h"

namespace korvex::testing {
namespace {

// The loader, silent to P01, is switched to the payment application.
TEST(ConnectionTest, FindsThePaymentApplicationThroughTheLoader) {
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
  EXPECT_EQ(rig.pad.Core().App(), emu::PadApp::Payment);
}

// Over a connection that went after the connection test. Keys differing or no
// version read: the loader is started, found once booted, and put in download
// mode. A record too short to compare leaves nothing to do.
TEST(Initialisation, VersionRecordDecidesBetweenDoneAndLoader) {
  const char* const loader = "K\xE4ivitan LoaderApp...";
  const char* const keyDownload = "K\xE4ivitan LoaderApp v\xF5tmete allalaadimiseks...";
  const std::string same = Version(kReference, kChecksum);
  // The pad's version record (none: never saved, "D0305"), the terminal's keys
  // reordered, the mask traced, the loader's first trace (null: nothing to do).
  const std::tuple<const char*, std::optional<std::string>, bool, Texts, const char*> rows[] = {
      {"same", same, false, {"DownloadMask=0"}, nullptr},
      {"key order", same, true, {"DownloadMask=1"}, loader},
      {"keys and tables", Version("X", "Y"), false, {"DownloadMask=3"}, loader},
      {"never saved", std::nullopt, false, {}, keyDownload},
      {"12 FS", same.substr(0, same.size() - 6), false, {}, nullptr},
  };
  for (const auto& [name, version, keysReordered, mask, loaderTrace] : rows) {
    SCOPED_TRACE(name);
    emu::PadState state = StalePad();
    state.tables.erase(emu::kVersionTable);
    if (version) state.tables[emu::kVersionTable] = {*version};
    JsonTerminal::Config terminal = ExampleTerminal();
    if (keysReordered) {
      std::rotate(terminal.caKeys.begin(), terminal.caKeys.begin() + 2, terminal.caKeys.end());
    }
    InitRig rig(state, {}, terminal);
    EXPECT_EQ(rig.control.InitTransaction(), 1);  // no terminal bound, no connection test
    rig.Ready();
    rig.control.Winsock1->Close();
    rig.host.RunFor(5);
    rig.host.ClearWireLog();
    rig.events.Clear();

    ASSERT_EQ(rig.control.InitTransaction(), 0);
    EXPECT_EQ(rig.control.fState, STATE_CONNECT_INIT);
    if (loaderTrace == nullptr) {
      rig.host.RunFor(100);
      // On the new connection: the router command, D03 (LRC "v") and the ACK of its reply.
      EXPECT_EQ(rig.host.Written(SimSide::Control), "SETCOMM19200,n,8,1  \002D0303001\003v\006");
      EXPECT_EQ(rig.events.Interfaces(), Events{IE(0, 1100, "Init completed")});
      EXPECT_EQ(rig.control.fState, STATE_INIT_DONE);
      EXPECT_EQ(rig.control.InitTransaction(), 1);
    } else {
      // I07, then L00 every 3000 ms until the loader has booted (4000 ms).
      ASSERT_TRUE(rig.host.RunUntil([&] { return rig.control.fState == 131; }, 20000));
      rig.host.RunFor(1);  // L0202 reaches the pad; its ACK is still on the way
      EXPECT_EQ(rig.Requests(), (Texts{"P01", "D0303001", "I07", "L00", "L00", "L00", "L0202"}));
      EXPECT_EQ(rig.Trace(10, "K\xE4ivitan "),
                (Texts{loaderTrace, loader, "K\xE4ivitan \"Download mode\""}));
      EXPECT_TRUE(rig.events.Interfaces().empty());
    }
    EXPECT_EQ(rig.Trace(5, "DownloadMask="), mask);
    EXPECT_EQ(rig.host.ConnectionCount(), 2);
  }
}

}  // namespace
}  // namespace korvex::testing
