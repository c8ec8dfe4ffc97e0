// InitTransaction against the emulated pad: the version record it reads back
// decides between nothing to do, the table update and the loader.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>

#include "init/init_rig.h"
#include "link/framing.h"

namespace korvex::testing {
namespace {

Texts MaskTrace(const InitRig& rig) {
  Texts out;
  for (const auto& t : rig.Trace({5})) {
    if (t.starts_with("DownloadMask=")) out.push_back(t);
  }
  return out;
}

TEST(Initialisation, NothingToDoAfterReconnecting) {
  emu::PadState state = StalePad();
  state.tables[emu::kVersionTable] = {Version(kReference, kChecksum)};
  InitRig rig(state);
  EXPECT_EQ(rig.control.InitTransaction(), 1);  // no terminal bound, no connection test
  rig.Ready();
  rig.control.Winsock1->Close();  // the connection went meanwhile
  rig.host.RunFor(5);
  rig.events.Clear();
  rig.host.ClearWireLog();

  ASSERT_EQ(rig.control.InitTransaction(), 0);
  EXPECT_EQ(rig.control.fState, STATE_CONNECT_INIT);
  rig.host.RunFor(100);
  EXPECT_EQ(rig.host.ConnectionCount(), 2);
  EXPECT_EQ(rig.host.Written(SimSide::Control),
            "SETCOMM19200,n,8,1  "s + STX + "D0303001" + ETX + "v" + ACK);  // "v": the LRC
  EXPECT_EQ(rig.Trace({8, 10}),
            (Texts{"############## Initialization Started... ############", "PinPad connected!"}));
  EXPECT_EQ(MaskTrace(rig), Texts{"DownloadMask=0"});
  EXPECT_EQ(rig.events.Interfaces(), Events{IE(0, 1100, "Init completed")});
  EXPECT_EQ(rig.control.fState, STATE_INIT_DONE);
  EXPECT_EQ(rig.control.InitTransaction(), 1);
  EXPECT_EQ(rig.Requests(), (Texts{"P01", "D0303001"}));
  rig.ExpectNoViolations();
}

struct VersionCase {
  const char* name;
  std::optional<std::string> version;  // none: never saved
  bool emptyReply;                     // a version never saved answers "D0300"
  bool keysReordered;                  // the terminal lists its CA keys in another order
  Texts mask;
  const char* firstTrace;  // the loader's first trace, "" the usual one; null: nothing to do
};

const char* const kKeyDownload = "K\xE4ivitan LoaderApp v\xF5tmete allalaadimiseks...";

// Keys differ or no version could be read: the loader is started, found
// after it has booted, and put in download mode. A record too short to
// compare leaves nothing to do. Tables alone differing: table_update_test.
TEST(Initialisation, VersionRecordDecidesBetweenDoneAndLoader) {
  // Fields 6 and 13 as the terminal has them, but the 13th FS missing.
  const std::string twelve =
      std::string(5, '\x1C') + kReference + std::string(7, '\x1C') + kChecksum;
  const VersionCase rows[] = {
      {"key order", Version(kReference, kChecksum), false, true, {"DownloadMask=1"}, ""},
      {"keys and tables", Version("X", kChecksum + "X"), false, false, {"DownloadMask=3"}, ""},
      {"never saved", std::nullopt, false, false, {}, kKeyDownload},
      {"twelve fields", twelve, false, false, {}, nullptr},
      {"empty record", std::nullopt, true, false, {}, nullptr},
  };
  for (const VersionCase& row : rows) {
    SCOPED_TRACE(row.name);
    emu::PadState state = StalePad();
    state.tables.erase(emu::kVersionTable);
    if (row.version) state.tables[emu::kVersionTable] = {*row.version};
    emu::EmulatorConfig config;
    if (row.emptyReply) config.replies.missingVersion = emu::MissingVersion::Empty;
    JsonTerminal::Config terminal = ExampleTerminal();
    if (row.keysReordered) {
      std::rotate(terminal.caKeys.begin(), terminal.caKeys.begin() + 2, terminal.caKeys.end());
    }
    InitRig rig(state, config, terminal);
    rig.Ready();
    rig.events.Clear();
    ASSERT_EQ(rig.control.InitTransaction(), 0);
    if (row.firstTrace == nullptr) {
      rig.host.RunFor(100);
      EXPECT_EQ(rig.events.Interfaces(), Events{IE(0, 1100, "Init completed")});
      EXPECT_EQ(rig.control.fState, STATE_INIT_DONE);
      EXPECT_EQ(rig.Requests(), (Texts{"P01", "D0303001"}));
    } else {
      // I07, then L00 every 3000 ms until the loader has booted (4000 ms).
      ASSERT_TRUE(rig.host.RunUntil([&] { return rig.control.fState == 131; }, 20000));
      rig.host.RunFor(1);  // L0202 reaches the pad; its ACK is still on the way
      EXPECT_EQ(rig.Requests(), (Texts{"P01", "D0303001", "I07", "L00", "L00", "L00", "L0202"}));
      const std::string first = *row.firstTrace ? row.firstTrace : "K\xE4ivitan LoaderApp...";
      EXPECT_EQ(rig.Trace({10}),
                (Texts{first, "K\xE4ivitan LoaderApp...", "Rakenduse LoaderApp tuvastamine...",
                       "Rakenduse LoaderApp tuvastamine...", "Rakenduse LoaderApp tuvastamine...",
                       "Rakendus LoaderApp tuvastatud", "K\xE4ivitan \"Download mode\""}));
      EXPECT_EQ(rig.SentAt("L0202") - rig.SentAt("L00"), 2 + 500);
      EXPECT_TRUE(rig.events.Interfaces().empty());
    }
    EXPECT_EQ(MaskTrace(rig), row.mask);
    rig.ExpectNoViolations();
  }
}

}  // namespace
}  // namespace korvex::testing
