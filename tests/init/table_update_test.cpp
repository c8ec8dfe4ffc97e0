// The EMV table update: the whole delete/add/save chain and its variants,
// failure statuses and records that cannot be built against the emulated pad;
// replies no real pad sends and the downloaded application that starts it.
#include <gtest/gtest.h>

#include "emulator/records.h"
#include "harness/pad_link.h"
#include "init/init_rig.h"

namespace korvex::testing {
namespace {

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
    SCOPED_TRACE(&row - rows);
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
                                  const int t = text[4] - '0';
                                  pad.Progress().asked[t] = pad.Progress().emptied[t] = true;
                                  pad.Reply("D0100\x1C" + counts[t] + '\x1C');
                                },
                                emu::StatusReply("D01")});
    }
    rig.Ready();
    rig.Init();
    // EST records of 205 and 152 bytes, MVT records of 193 (the default) and 232.
    const Texts& mvt = rig.control.MVTRecords;
    const Texts adds = {"D0401071205" + visa,   "D0401071152" + mastercard,
                        "D0402047193" + mvt[1], "D0402047232" + mvt[2],
                        "D0402047232" + mvt[3], "D0503001018060" + Version(kReference, kChecksum)};
    Texts sent = {"P01", "D0303001", "D0101", "D0601000", "D0601000", "D0102", "D0602000"};
    if (row.estCount) sent = {"P01", "D0303001", "D0101", "D0102"};
    sent.insert(sent.end(), adds.begin() + (row.emptyAidTable ? 2 : 0), adds.end());
    EXPECT_EQ(rig.Requests(), sent);
    EXPECT_EQ(rig.Trace(10), (Texts{"Kustutan EMV tabelid...", "EMV Tabelid kustutatud!",
                                    "EMV tabelid uuendatud! Salvestan versioonid..."}));
    EXPECT_EQ(rig.events.Interfaces(), Events{IE(0, 1100, "Init completed")});
    EXPECT_EQ(rig.control.fState, row.saveReply == "D05"s ? STATE_INIT_DONE : STATE_IDLE);

    rig.control.ColdReset();
    rig.host.RunFor(5);
    rig.Ready();
    rig.Init();
    EXPECT_EQ(rig.events.Interfaces(), Events{IE(0, 1100, "Init completed")});
    EXPECT_EQ(rig.control.fState, STATE_INIT_DONE);
    sent.insert(sent.end(), {"P01", "D0303001"});
    EXPECT_EQ(rig.Requests(), sent);
  }
}

// A failure status stops the update where it is: Code 200 + status with the
// table text, STATE_RESULT_ERROR. A record that cannot be built (table-5
// field 2 not numeric, AID length 0) stops it silently in 157 once both tables are empty. Nothing
// more is sent and the old version stays.
TEST(TableUpdate, FailureStatusesAndUnbuildableRecordsStopTheUpdate) {
  const struct {
    const char* request;  // the one that fails or, without a status, the last one sent
    const char* status;
    Events events;
    void (*breakTerminal)(JsonTerminal::Config&);
  } rows[] = {
      {"D0101", "04", {IE(1, 204, "Error opening table")}, nullptr},
      {"D0601", "06", {IE(1, 206, "Error writing to a table")}, nullptr},
      {"D0102", "05", {IE(1, 205, "Error reading table")}, nullptr},
      {"D0602", "07", {IE(1, 207, "Error closing table")}, nullptr},
      {"D0401", "08", {IE(1, 208, "Error in table record")}, nullptr},
      {"D0401", "11", {IE(1, 211, "Table limit reached")}, nullptr},
      {"D0402", "12", {IE(1, 212, "Field limit reached")}, nullptr},
      {"D0503", "99", {IE(1, 299, "Internal failure")}, nullptr},
      {"D0101", "A1", {IE(1, 290, "")}, nullptr},
      {"D0602", nullptr, {}, [](JsonTerminal::Config& c) { c.mvtTable.records[1][1] = "5k"; }},
      {"D0602", nullptr, {}, [](JsonTerminal::Config& c) { c.aidTable.records[2][1] = "0"; }},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(std::string(row.request) + " " + (row.status ? row.status : "unbuildable"));
    emu::EmulatorConfig config;
    if (row.status) {
      emu::FaultRule& fail = config.faults.emplace_back();
      fail.kind = emu::FaultKind::FailStatus;
      fail.message = row.request;
      fail.status = row.status;
    }
    JsonTerminal::Config terminal = ExampleTerminal();
    if (row.breakTerminal) row.breakTerminal(terminal);
    InitRig rig(StalePad(), config, terminal);
    rig.Ready();
    rig.Init();
    const Texts sent = rig.Requests();
    EXPECT_TRUE(sent.back().starts_with(row.request));
    rig.host.RunFor(30000);
    EXPECT_EQ(rig.events.Interfaces(), row.events);
    EXPECT_EQ(rig.control.fState, row.status ? STATE_RESULT_ERROR : STATE_MVT_DELETE_SENT);
    EXPECT_EQ(rig.Requests(), sent);
    EXPECT_EQ(rig.Pad().Pad().VersionRecord(), Version("261201261200", kChecksum));
  }
}

// In the wrong state (code 12) the table handlers end the update, D03 keeps
// its state. A D01 whose count cannot be read (code 25) stops where it is.
TEST_F(PadLinkTest, RepliesInTheWrongStateOrWithoutACount) {
  const std::string fs(1, FS);
  const struct {
    int16_t state;
    std::string text;
    int32_t code;
    int16_t after;
  } rows[] = {
      {151, "D0100" + fs + "000" + fs, 12, 0},  // before the ACK
      {152, "D0600", 12, 0},
      {159, "D0400", 12, 0},
      {163, "D0500", 12, 0},
      {127, "D0300", 12, 127},
      {165, "D0300", 12, 165},
      {152, "D0100", 25, 152},
      {152, "D0100" + fs + "002", 25, 152},
      {152, "D0100" + fs + "two" + fs, 25, 152},
      {152, "D0100" + fs + fs, 25, 152},
      {152, "D0100" + fs + "99999" + fs, 25, 152},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.text + " in " + std::to_string(row.state));
    Connect(row.state);
    const std::string frame = WithLrc(row.text);
    Deliver(frame);
    const std::string report = "Function='Process" + row.text.substr(0, 3) +
                               "'; State=" + std::to_string(row.state) + "; Message='" + frame +
                               "'.";
    EXPECT_EQ(events.Interfaces(), Events{IE(1, row.code, report)});
    EXPECT_EQ(control.fState, row.after);
    EXPECT_EQ(Wire(), kAck);
    EXPECT_FALSE(control.TimeoutTimer->Enabled());
  }
  // A pending warm reset comes before the state check.
  Connect(STATE_D03_ACKED);
  control.WarmResetPending = true;
  Deliver(WithLrc("D0300"));
  EXPECT_EQ(events.Interfaces(), Events{IE(1, 27, "Warm reset at ProcessD03()")});
  EXPECT_EQ(control.fState, STATE_WARM_RESET_SENT);
}

// A downloaded payment application, once confirmed, gets its tables afresh.
TEST_F(PadLinkTest, ConfirmedDownloadedApplicationStartsTheTableUpdate) {
  Connect(STATE_DOWNLOAD_CHECK_ACKED);
  Deliver(WithLrc("P010002"));
  EXPECT_EQ(Wire(), kAck + WithLrc("D0101"));
  EXPECT_EQ(control.fState, STATE_EST_INFO_SENT);
  EXPECT_TRUE(events.Interfaces().empty());
  EXPECT_TRUE(TimerOn(3000));
}

}  // namespace
}  // namespace korvex::testing
