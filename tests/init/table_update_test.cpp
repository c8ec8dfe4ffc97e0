// The EMV table update against the emulated pad: the whole delete/add/save
// chain and its variants, failure statuses and records that cannot be built.
#include <gtest/gtest.h>

#include "emulator/records.h"
#include "init/init_rig.h"

namespace korvex::testing {
namespace {

// The example terminal's EST records, from the emulator tests' own layout.
const std::string kVisa = emu::testing::EstRecord(
    1, "A000000003", {"A000000003_92", "A000000003_94"},
    {{"A0000000031010", "VISA CREDIT"}, {"A0000000032010", "VISA ELECTRON"}});
const std::string kMastercard =
    emu::testing::EstRecord(2, "A000000004", {"A000000004_05"}, {{"A0000000041010", "MASTERCARD"}});

// Heads of the adds and the save for the example terminal: EST records of
// 205 and 152 bytes, the default MVT record of 193, two MVT records of 232.
const Texts kAdds = {"D0401071205", "D0401071152", "D0402047193",
                     "D0402047232", "D0402047232", "D0503001018060"};

Texts Concat(Texts a, const Texts& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// Everything the host saw but the link's byte-level chatter.
Events Progress(const InitRig& rig) {
  Events out;
  for (const auto& e : rig.events.all) {
    if (e.kind == RecordedEvent::Debug && (e.type < 5 || e.text == "Sending ACK")) continue;
    out.push_back(e);
  }
  return out;
}

const Events kChain = {
    DE(8, "############## Initialization Started... ############"),
    DE(5, "<ACK> received at State=127"),
    DE(5, "DownloadMask=2"),
    DE(10, "Kustutan EMV tabelid..."),
    DE(5, "<ACK> received at State=151"),
    DE(8, "Deleting EST Record."),
    DE(5, "<ACK> received at State=155"),
    DE(8, "Deleting EST Record."),
    DE(5, "<ACK> received at State=155"),
    DE(5, "<ACK> received at State=153"),
    DE(8, "Deleting MVT Record."),
    DE(5, "<ACK> received at State=157"),
    DE(10, "EMV Tabelid kustutatud!"),
    DE(5, "Building EST Record(1): RID=A000000003"),
    DE(5, "Building EST Record(2): RID=A000000004"),
    DE(5, "Building MVT Record(1)"),
    DE(5, "Building MVT Record(2)"),
    DE(5, "Building MVT Record(3)"),
    DE(8, "Lisan EST kirje"),
    DE(5, "<ACK> received at State=159"),
    DE(8, "Lisan EST kirje"),
    DE(5, "<ACK> received at State=159"),
    DE(8, "Lisan MVT kirje"),
    DE(5, "<ACK> received at State=161"),
    DE(8, "Lisan MVT kirje"),
    DE(5, "<ACK> received at State=161"),
    DE(8, "Lisan MVT kirje"),
    DE(5, "<ACK> received at State=161"),
    DE(10, "EMV tabelid uuendatud! Salvestan versioonid..."),
    DE(5, "<ACK> received at State=163"),
    IE(0, 1100, "Init completed"),
};

// Either reply code is taken for the adds and the save; a save answered by
// D04 leaves the control idle instead of in STATE_INIT_DONE.
TEST(TableUpdate, FullChainRenewsTheTablesAndTheNextInitHasNothingToDo) {
  for (const bool swapped : {false, true}) {
    SCOPED_TRACE(swapped ? "D05 adds, D04 save" : "D04 adds, D05 save");
    emu::EmulatorConfig config;
    if (swapped) {
      config.replies.addReply = "D05";
      config.replies.saveReply = "D04";
    }
    InitRig rig(StalePad(), config);
    rig.Ready();
    rig.events.Clear();
    rig.Init();
    ASSERT_EQ(
        rig.Heads(),
        Concat({"P01", "D0303001", "D0101", "D0601000", "D0601000", "D0102", "D0602000"}, kAdds));
    const Texts sent = rig.Requests();
    EXPECT_EQ(sent[7], "D0401071205" + kVisa);
    EXPECT_EQ(sent[8], "D0401071152" + kMastercard);
    EXPECT_EQ(sent[12], "D0503001018060" + Version(kReference, kChecksum));
    EXPECT_EQ(Progress(rig), kChain);
    EXPECT_EQ(rig.control.fState, swapped ? STATE_IDLE : STATE_INIT_DONE);

    const emu::PinPad& pad = rig.Pad().Pad();
    EXPECT_EQ(pad.Records(emu::kEstTable), (Texts{kVisa, kMastercard}));
    const Texts& built = rig.control.MVTRecords;
    EXPECT_EQ(pad.Records(emu::kMvtTable), Texts(built.begin() + 1, built.end()));
    EXPECT_EQ(pad.VersionRecord(), Version(kReference, kChecksum));
    rig.ExpectNoViolations();

    // After a cold reset the saved version matches the terminal at once.
    rig.control.ColdReset();
    rig.host.RunFor(5);
    rig.events.Clear();
    rig.Ready();
    rig.Init();
    EXPECT_EQ(rig.events.Interfaces(),
              (Events{IE(0, 1107, "EmvApp is ready"), IE(0, 1100, "Init completed")}));
    EXPECT_EQ(rig.control.fState, STATE_INIT_DONE);
    EXPECT_EQ(rig.Requests().size(), sent.size() + 2);  // P01 and D0303001 only
    EXPECT_EQ(rig.Requests().back(), "D0303001");
    rig.ExpectNoViolations();
  }
}

// The pad's record counts: any count below 1 deletes nothing and moves on.
// An empty AID table gives no EST record: the adds start with the MVT table.
TEST(TableUpdate, CountsBelowOneAndAnEmptyAidTable) {
  struct Row {
    const char* estCount;  // null: as the pad has it
    const char* mvtCount;
    bool emptyAidTable;
    Texts heads;  // after D0303001
  };
  const Texts deletes = {"D0101", "D0601000", "D0601000", "D0102", "D0602000"};
  const Row rows[] = {
      {"-1", "000", false, Concat({"D0101", "D0102"}, kAdds)},
      {"000", "-003", false, Concat({"D0101", "D0102"}, kAdds)},
      {nullptr, nullptr, true, Concat(deletes, Texts(kAdds.begin() + 2, kAdds.end()))},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.estCount ? row.estCount : "empty AID table");
    emu::PadState state = StalePad();
    if (row.estCount) state.tables[emu::kEstTable] = state.tables[emu::kMvtTable] = {};
    JsonTerminal::Config terminal = ExampleTerminal();
    if (row.emptyAidTable) terminal.aidTable.records.clear();
    InitRig rig(state, {}, terminal);
    if (row.estCount) {  // the pad's tables are empty; it reports these counts
      const std::string counts[] = {"", row.estCount, row.mvtCount};
      rig.Pad().Handlers().Add({"D01", emu::PadApp::Payment, nullptr,
                                [counts](const std::string& text, emu::PadServices& pad) {
                                  const int table = text[4] - '0';
                                  pad.Progress().asked[table] = pad.Progress().emptied[table] =
                                      true;
                                  pad.Reply("D0100" FS_ + counts[table] + FS_);
                                },
                                emu::StatusReply("D01")});
    }
    rig.Ready();
    rig.Init();
    EXPECT_EQ(rig.Heads(), Concat({"P01", "D0303001"}, row.heads));
    EXPECT_EQ(rig.events.Interfaces(),
              (Events{IE(0, 1107, "EmvApp is ready"), IE(0, 1100, "Init completed")}));
    EXPECT_EQ(rig.control.fState, STATE_INIT_DONE);
    rig.ExpectNoViolations();
  }
}

// A failure status stops the update where it is: Code 200 + status with the
// table text, STATE_RESULT_ERROR, nothing more sent.
TEST(TableUpdate, FailureStatusesStopTheUpdate) {
  struct Row {
    const char* request;  // null: the pad's EST table holds one record at most
    const char* status;
    RecordedEvent event;
  };
  const Row rows[] = {
      {"D0101", "04", IE(1, 204, "Error opening table")},
      {"D0601", "06", IE(1, 206, "Error writing to a table")},
      {"D0102", "05", IE(1, 205, "Error reading table")},
      {"D0602", "07", IE(1, 207, "Error closing table")},
      {"D0401", "08", IE(1, 208, "Error in table record")},
      {"D0402", "12", IE(1, 212, "Field limit reached")},
      {"D0503", "99", IE(1, 299, "Internal failure")},
      {"D0101", "A1", IE(1, 290, "")},
      {nullptr, "11", IE(1, 211, "Table limit reached")},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string(row.request ? row.request : "limit") + " " + row.status);
    emu::EmulatorConfig config;
    if (row.request) {
      emu::FaultRule fail;
      fail.kind = emu::FaultKind::FailStatus;
      fail.message = row.request;
      fail.status = row.status;
      config.faults.push_back(fail);
    } else {
      config.limits.est = 1;
    }
    InitRig rig(StalePad(), config);
    rig.Ready();
    rig.events.Clear();
    rig.Init();
    const std::string failed = row.request ? row.request : "D0401071152";
    EXPECT_TRUE(rig.Requests().back().starts_with(failed)) << rig.Requests().back();
    EXPECT_EQ(rig.events.Interfaces(), Events{row.event});
    EXPECT_EQ(rig.control.fState, STATE_RESULT_ERROR);
    const size_t sent = rig.Requests().size();
    rig.host.RunFor(30000);
    EXPECT_EQ(rig.Requests().size(), sent);
    EXPECT_EQ(rig.events.Interfaces().size(), 1u);
    rig.ExpectNoViolations();
  }
}

// A record that cannot be built stops the update silently once both tables
// are empty: nothing is added and no version is saved.
TEST(TableUpdate, RecordBuildFailureStopsSilentlyIn157) {
  JsonTerminal::Config badMvt = ExampleTerminal();
  badMvt.mvtTable.records[1][1] = "5k";  // table-5 field 2 must be numeric
  JsonTerminal::Config badEst = ExampleTerminal();
  badEst.aidTable.records[2][2] = "A00000";  // an AID shorter than its RID
  badEst.aidTable.records[2][1] = "6";
  for (const auto& terminal : {badMvt, badEst}) {
    InitRig rig(StalePad(), {}, terminal);
    rig.Ready();
    rig.events.Clear();
    rig.Init();
    rig.host.RunFor(30000);
    EXPECT_EQ(rig.Heads(),
              (Texts{"P01", "D0303001", "D0101", "D0601000", "D0601000", "D0102", "D0602000"}));
    EXPECT_TRUE(rig.events.Interfaces().empty());
    EXPECT_EQ(rig.Trace({10}).back(), "EMV Tabelid kustutatud!");
    EXPECT_EQ(rig.control.fState, STATE_MVT_DELETE_SENT);
    EXPECT_EQ(rig.Pad().Pad().VersionRecord(), Version("261201261200", kChecksum));
    rig.ExpectNoViolations();
  }
}

}  // namespace
}  // namespace korvex::testing
