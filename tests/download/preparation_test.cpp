// Download preparation: the file list, the key files, the clean-up of the
// previous download, failures, and the loader's download mode that starts it.
#include <gtest/gtest.h>

#include <set>
#include <stdexcept>

#include "control/impl_access.h"
#include "download/download_rig.h"

namespace korvex::testing {
namespace {

namespace fs = std::filesystem;

TEST(PrepareDownload, ListAndKeyFiles) {
  // clang-format off
  const Texts constant = {
      "Constant\\EMVAPP.out.p7s", "Constant\\EMVAPP.out", "Constant\\3DES.vso",
      "Constant\\3DES.vso.P7s", "Constant\\blacklistedcards.txt", "Constant\\Currency.dat",
      "Constant\\asc6x8.vft", "Constant\\asc6x8.vft.P7s", "Constant\\ext6x8.vft",
      "Constant\\ext6x8.vft.P7s", "Constant\\A000000004.CSN", "Constant\\A000000003.CSN",
      "Constant\\MVT.dat", "Constant\\EST.dat", "Constant\\emvg_cnf.dat", "Constant\\emvgmsg1.dat",
      "Constant\\emvgmsg2.dat", "Constant\\emvgmsg3.dat", "Constant\\emvgmsg4.dat",
      "Constant\\eclmsg1.dat", "Constant\\eclmsg2.dat", "Constant\\eclmsg3.dat",
      "Constant\\eclmsg4.dat", "Constant\\table.rec",
  };
  // clang-format on
  // The folder given with or without its final separator.
  const std::tuple<const char*, bool, Texts, Texts> rows[] = {
      {"",
       false,
       {"K1", "K2", "K3"},
       Texts(25, "") + Texts{"P1\\K1.EMV", "P1\\K2.EMV", "P1\\K3.EMV"}},
      {"/", true, {}, Texts{""} + constant},
      {"\\", true, {"K1"}, Texts{""} + constant + Texts{"P1\\K1.EMV"}},
  };
  for (const auto& [separator, detection, ids, list] : rows) {
    DownloadRig rig;
    rig.control.SetDownloadPath(rig.dir.path() + separator);
    JsonTerminal terminal(KeyConfig(ids));
    rig.control.terminalObject = &terminal;
    rig.control.EMVAppDetection = detection;
    std::string failure;
    EXPECT_TRUE(rig.control.PrepareDownload(failure)) << failure;
    EXPECT_EQ(rig.control.dl.DownloadFiles, list);
    std::vector<RecordedEvent> trace{DE(5, "Preparing download files...")};
    for (int16_t k = 1; k <= static_cast<int16_t>(ids.size()); ++k) {
      int16_t index = k;
      EXPECT_EQ(rig.dir.Read("P1/" + ids[k - 1] + ".EMV"), rig.control.BuildERKData(index));
      trace.push_back(DE(5, "Saving ERK: " + ids[k - 1] + ".EMV"));
    }
    EXPECT_EQ(rig.Take(), trace);
    EXPECT_TRUE(fs::is_directory(rig.dir.File("P1")));
  }
}

struct ThrowingTerminal : JsonTerminal {
  ThrowingTerminal() : JsonTerminal(KeyConfig({"K1", "K2"})) {}
  std::string getERKID(int16_t& KeyIndex) override {
    if (armed && KeyIndex == 2) throw std::runtime_error("key store offline");
    return JsonTerminal::getERKID(KeyIndex);
  }
  bool armed = false;  // after binding, which reads the identifiers too
};

TEST(PrepareDownload, FailuresAreReportedAndChangeNoState) {
  ThrowingTerminal throwing;
  JsonTerminal escaping(KeyConfig({"../K1"}));
  const std::tuple<const char*, TerminalObject*, std::string> rows[] = {
      {"no terminal", nullptr, "no terminal object bound"},
      {"throwing terminal", &throwing, "terminal object error: key store offline"},
      {"escaping key file", &escaping, "key 1 has the unusable identifier '../K1'"},
  };
  for (const auto& [what, terminal, reason] : rows) {
    SCOPED_TRACE(what);
    SimHost host;
    RecordingEvents events;
    TempDir dir;
    JsonTerminal keys(KeyConfig({"K1"}));
    Korvex pad(host, events);
    pad.setName("P1");
    pad.SetDownloadPath(dir.path());
    throwing.armed = false;
    if (std::string(what) != "no terminal") pad.setTerminalObject(terminal ? *terminal : keys);
    throwing.armed = true;
    const int16_t state = pad.getState();
    events.Clear();
    pad.PrepareDownload();
    EXPECT_EQ(events.Interfaces(), (Events{IE(1, 44, "Download preparation failed: " + reason)}));
    EXPECT_EQ(pad.getState(), state);
    EXPECT_EQ(ImplAccess::Of(pad).dl.DownloadFiles, Texts{""});
  }
}

// "L0202" acknowledged: the files are prepared and the control reconnects at
// 115200 baud to wait for the loader's request; a failure lets the loader go
// and leaves the control ready for a new connection test. The folder of
// another case is the PIN pad's folder; everything of the previous download
// goes, other files stay.
TEST(PrepareDownload, DownloadModeAcknowledged) {
  for (const bool fails : {false, true}) {
    SCOPED_TRACE(fails);
    DownloadRig rig;
    if (fails) {
      rig.dir.Write("P1", "");
    } else {
      for (const char* old : {"p1/K1.EMV", "p1/dropped.emv", "p1/keep.txt", "P1.bat", "P1.dld"})
        rig.Put(old, "old");
    }
    rig.Connect(STATE_DOWNLOAD_MODE, 3000);
    rig.Deliver(kAck);
    rig.host.RunFor(5);
    const Events events = rig.Take();
    EXPECT_EQ(rig.pad.closes, 1);
    if (fails) {
      EXPECT_EQ(events.back(), IE(1, 44,
                                  "Download preparation failed: cannot create folder '" +
                                      rig.dir.path() + "/P1/': File exists"));
      EXPECT_EQ(rig.control.fState, STATE_TERMINAL_SET);
      EXPECT_FALSE(rig.control.TimeoutTimer->Enabled());
      EXPECT_EQ(rig.control.ChecksumMode, 1);
      EXPECT_EQ(rig.Wire(), "");
      EXPECT_EQ(rig.control.PerformConnectionTest(1), 0);
      continue;
    }
    EXPECT_EQ(events.back(), DE(8, "PinPad connected!"));
    EXPECT_EQ(rig.Wire(), "SETCOMM115200,n,8,1 ");
    EXPECT_EQ(rig.pad.connects, 2);
    EXPECT_EQ(rig.control.fState, STATE_DOWNLOAD_WAIT);
    EXPECT_TRUE(rig.TimerOn(1000));
    EXPECT_EQ(rig.control.ChecksumMode, 2);
    EXPECT_EQ(rig.control.dl.DownloadFiles.size(), 27u);
    std::set<std::string> left;
    for (const auto& entry : fs::recursive_directory_iterator(rig.dir.path())) {
      left.insert(fs::relative(entry.path(), rig.dir.path()).generic_string());
    }
    EXPECT_EQ(left, (std::set<std::string>{"p1", "p1/K1.EMV", "p1/K2.EMV", "p1/keep.txt"}));
    EXPECT_NE(rig.dir.Read("p1/K1.EMV"), "old");
  }
}

}  // namespace
}  // namespace korvex::testing
