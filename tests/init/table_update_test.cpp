// The EMV table update against the emulated pad: the whole delete/add/save
// chain and its variants, failure statuses and records that cannot be built.
#include <gtest/gtest.h>

#include "emulator/records.h"
#include "init/init_rig.h"

namespace korvex::testing {
namespace {

const Texts kDeletes = {"P01", "D0303001", "D0101", "D0601000", "D0601000", "D0102", "D0602000"};

Texts Concat(Texts a, const Texts& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// Either reply code is taken for the adds and the save; a save answered by
// D04 leaves the control idle. Any count below 1 deletes nothing; an empty AID
// table gives no EST record. After a cold reset nothing is left to do.
TEST(TableUpdate, FullChainRenewsTheTablesAndTheNextInitHasNothingToDo) {
  const std::string visa = emu::testing::EstRecord(
      1, "A000000003", {"A000000003_92", "A000000003_94"},
      {{"A0000000031010", "VISA CREDIT"}, {"A0000000032010", "VISA ELECTRON"}});
  const std::string mastercard = emu::testing::EstRecord(2, "A000000004", {"A000000004_05"},
                                                         {{"A0000000041010", "MASTERCARD"}});
  const struct {
    const char* addReply;
    const char* saveReply;
    const char* estCount;  // null: the stale tables; else the pad reports these counts
    const char* mvtCount;
    bool emptyAidTable;
  } rows[] = {
      {"D04", "D05", nullptr, nullptr, false}, {"D05", "D04", nullptr, nullptr, false},
      {"D04", "D05", "-1", "000", false},      {"D04", "D05", "000", "-003", false},
      {"D04", "D05", nullptr, nullptr, true},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(std::string(row.addReply) + (row.estCount ? row.estCount : "") +
                 (row.emptyAidTable ? " no AIDs" : ""));
    emu::PadState state = StalePad();
    if (row.estCount) state.tables[emu::kEstTable] = state.tables[emu::kMvtTable] = {};
    emu::EmulatorConfig config;
    config.replies.addReply = row.addReply;
    config.replies.saveReply = row.saveReply;
    JsonTerminal::Config terminal = ExampleTerminal();
    if (row.emptyAidTable) terminal.aidTable.records.clear();
    InitRig rig(state, config, terminal);
    if (row.estCount) {
      const std::string counts[] = {"", row.estCount, row.mvtCount};
      rig.Pad().Handlers().Add({"D01", emu::PadApp::Payment, nullptr,
                                [counts](const std::string& text, emu::PadServices& pad) {
                                  const int table = text[4] - '0';
                                  pad.Progress().asked[table] = true;
                                  pad.Progress().emptied[table] = true;
                                  pad.Reply("D0100" FS_ + counts[table] + FS_);
                                },
                                emu::StatusReply("D01")});
    }
    rig.Ready();
    rig.events.Clear();
    rig.Init();
    // EST records of 205 and 152 bytes, MVT records of 193 (the default) and 232.
    const Texts& mvt = rig.control.MVTRecords;
    Texts adds = {"D0401071205" + visa,   "D0401071152" + mastercard,
                  "D0402047193" + mvt[1], "D0402047232" + mvt[2],
                  "D0402047232" + mvt[3], "D0503001018060" + Version(kReference, kChecksum)};
    if (row.emptyAidTable) adds.erase(adds.begin(), adds.begin() + 2);
    const Texts deletes = row.estCount ? Texts{"P01", "D0303001", "D0101", "D0102"} : kDeletes;
    EXPECT_EQ(rig.Requests(), Concat(deletes, adds));
    EXPECT_EQ(rig.Trace(10), (Texts{"Kustutan EMV tabelid...", "EMV Tabelid kustutatud!",
                                    "EMV tabelid uuendatud! Salvestan versioonid..."}));
    EXPECT_EQ(rig.events.Interfaces(), Events{IE(0, 1100, "Init completed")});
    EXPECT_EQ(rig.control.fState, row.saveReply == "D05"s ? STATE_INIT_DONE : STATE_IDLE);

    const Texts sent = rig.Requests();
    rig.control.ColdReset();
    rig.host.RunFor(5);
    rig.events.Clear();
    rig.Ready();
    rig.Init();
    EXPECT_EQ(rig.events.Interfaces(),
              (Events{IE(0, 1107, "EmvApp is ready"), IE(0, 1100, "Init completed")}));
    EXPECT_EQ(rig.control.fState, STATE_INIT_DONE);
    EXPECT_EQ(rig.Requests(), Concat(sent, {"P01", "D0303001"}));
  }
}

// A failure status stops the update where it is: Code 200 + status with the
// table text, STATE_RESULT_ERROR, nothing more sent.
TEST(TableUpdate, FailureStatusesStopTheUpdate) {
  const struct {
    const char* request;  // null: the pad's EST table holds one record at most
    const char* status;
    RecordedEvent event;
  } rows[] = {
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
  for (const auto& row : rows) {
    SCOPED_TRACE(std::string(row.request ? row.request : "limit") + " " + row.status);
    emu::EmulatorConfig config;
    config.limits.est = row.request ? 16 : 1;
    if (row.request) {
      emu::FaultRule& fail = config.faults.emplace_back();
      fail.kind = emu::FaultKind::FailStatus;
      fail.message = row.request;
      fail.status = row.status;
    }
    InitRig rig(StalePad(), config);
    rig.Ready();
    rig.events.Clear();
    rig.Init();
    const Texts sent = rig.Requests();
    EXPECT_TRUE(sent.back().starts_with(row.request ? row.request : "D0401071152"));
    rig.host.RunFor(30000);
    EXPECT_EQ(rig.events.Interfaces(), Events{row.event});
    EXPECT_EQ(rig.control.fState, STATE_RESULT_ERROR);
    EXPECT_EQ(rig.Requests(), sent);
  }
}

// A record that cannot be built stops the update silently once both tables
// are empty: nothing is added and no version is saved.
TEST(TableUpdate, RecordBuildFailureStopsSilentlyIn157) {
  JsonTerminal::Config badMvt = ExampleTerminal();
  badMvt.mvtTable.records[1][1] = "5k";  // table-5 field 2 must be numeric
  JsonTerminal::Config badEst = ExampleTerminal();
  badEst.aidTable.records[2][1] = "6";  // an AID shorter than its RID
  badEst.aidTable.records[2][2] = "A00000";
  for (const auto& terminal : {badMvt, badEst}) {
    InitRig rig(StalePad(), {}, terminal);
    rig.Ready();
    rig.events.Clear();
    rig.Init();
    rig.host.RunFor(30000);
    EXPECT_EQ(rig.Requests(true), kDeletes);
    EXPECT_TRUE(rig.events.Interfaces().empty());
    EXPECT_EQ(rig.control.fState, STATE_MVT_DELETE_SENT);
    EXPECT_EQ(rig.Pad().Pad().VersionRecord(), Version("261201261200", kChecksum));
  }
}

}  // namespace
}  // namespace korvex::testing
