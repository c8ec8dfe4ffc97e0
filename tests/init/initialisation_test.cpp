// InitTransaction against the emulated pad, over a connection that went after
// the connection test: the version record read back decides between nothing
// to do and the loader. Tables alone differing: table_update_test.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>

#include "init/init_rig.h"
#include "link/framing.h"

namespace korvex::testing {
namespace {

const char* const kLoader = "K\xE4ivitan LoaderApp...";
const char* const kKeyDownload = "K\xE4ivitan LoaderApp v\xF5tmete allalaadimiseks...";

TEST(Initialisation, VersionRecordDecidesBetweenDoneAndLoader) {
  // Fields 6 and 13 as the terminal has them, but the 13th FS missing.
  const std::string twelve = Version(kReference, kChecksum).substr(0, 5 + 12 + 7 + 30);
  const struct {
    const char* name;
    std::optional<std::string> version;  // none: never saved, the reply is "D0305"
    bool emptyReply;                     // ... or "D0300" with no record
    bool keysReordered;
    Texts mask;
    const char* loaderTrace;  // null: nothing to do
  } rows[] = {
      {"same", Version(kReference, kChecksum), false, false, {"DownloadMask=0"}, nullptr},
      {"key order", Version(kReference, kChecksum), false, true, {"DownloadMask=1"}, kLoader},
      {"keys and tables", Version("X", kChecksum + "X"), false, false, {"DownloadMask=3"}, kLoader},
      {"never saved", std::nullopt, false, false, {}, kKeyDownload},
      {"twelve fields", twelve, false, false, {}, nullptr},
      {"empty record", std::nullopt, true, false, {}, nullptr},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    emu::PadState state = StalePad();
    state.tables.erase(emu::kVersionTable);
    if (row.version) state.tables[emu::kVersionTable] = {*row.version};
    emu::EmulatorConfig config;
    if (row.emptyReply) config.replies.missingVersion = emu::MissingVersion::Empty;
    JsonTerminal::Config terminal = ExampleTerminal();
    if (row.keysReordered) std::ranges::rotate(terminal.caKeys, terminal.caKeys.begin() + 2);
    InitRig rig(state, config, terminal);
    EXPECT_EQ(rig.control.InitTransaction(), 1);  // no terminal bound, no connection test
    rig.Ready();
    rig.control.Winsock1->Close();
    rig.host.RunFor(5);
    rig.events.Clear();
    rig.host.ClearWireLog();

    ASSERT_EQ(rig.control.InitTransaction(), 0);
    EXPECT_EQ(rig.control.fState, STATE_CONNECT_INIT);
    if (row.loaderTrace == nullptr) {
      rig.host.RunFor(100);
      EXPECT_EQ(rig.host.Written(SimSide::Control),
                "SETCOMM19200,n,8,1  "s + STX + "D0303001" + ETX + "v" + ACK);  // "v": the LRC
      EXPECT_EQ(rig.Trace(8), (Texts{"############## Initialization Started... ############",
                                     "PinPad connected!"}));
      EXPECT_EQ(rig.events.Interfaces(), Events{IE(0, 1100, "Init completed")});
      EXPECT_EQ(rig.control.fState, STATE_INIT_DONE);
      EXPECT_EQ(rig.control.InitTransaction(), 1);
      EXPECT_EQ(rig.Requests(), (Texts{"P01", "D0303001"}));
    } else {
      // I07, then L00 every 3000 ms until the loader has booted (4000 ms).
      ASSERT_TRUE(rig.host.RunUntil([&] { return rig.control.fState == 131; }, 20000));
      rig.host.RunFor(1);  // L0202 reaches the pad; its ACK is still on the way
      EXPECT_EQ(rig.Requests(), (Texts{"P01", "D0303001", "I07", "L00", "L00", "L00", "L0202"}));
      EXPECT_EQ(rig.Trace(10),
                (Texts{row.loaderTrace, kLoader, "Rakenduse LoaderApp tuvastamine...",
                       "Rakenduse LoaderApp tuvastamine...", "Rakenduse LoaderApp tuvastamine...",
                       "Rakendus LoaderApp tuvastatud", "K\xE4ivitan \"Download mode\""}));
      EXPECT_TRUE(rig.events.Interfaces().empty());
    }
    EXPECT_EQ(rig.Trace(5, "DownloadMask="), row.mask);
    EXPECT_EQ(rig.host.ConnectionCount(), 2);
  }
}

}  // namespace
}  // namespace korvex::testing
