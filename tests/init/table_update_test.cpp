// The EMV table update: the whole delete/add/save chain and the ways it stops
// against the emulated pad; replies no real pad sends, on a scripted link.
#include <gtest/gtest.h>

#include <tuple>

#include "harness/pad_link.h"
#include "init/init_rig.h"

namespace korvex::testing {
namespace {

// Either reply code is taken for the adds and the save; a save answered by
// D04 leaves the control idle. Any count below 1 deletes nothing; an empty AID
// table gives no EST record. The version record saved last is the one that
// tells the next InitTransaction there is nothing to do.
TEST(TableUpdate, FullChainRenewsTheTables) {
  // D05 answers the adds and D04 the save; the counts the pad reports for its
  // tables, emptied (null: the stale tables); the AID table emptied.
  const std::tuple<bool, const char*, const char*, bool> rows[] = {
      {false, nullptr, nullptr, false}, {true, nullptr, nullptr, false},
      {false, "-1", "000", false},      {false, "000", "-003", false},
      {false, nullptr, nullptr, true},
  };
  for (const auto& [swapped, estCount, mvtCount, emptyAidTable] : rows) {
    SCOPED_TRACE(std::to_string(swapped) + (estCount ? estCount : "") + (emptyAidTable ? "!" : ""));
    emu::PadState state = StalePad();
    if (estCount) state.tables[emu::kEstTable] = state.tables[emu::kMvtTable] = {};
    emu::EmulatorConfig config;
    config.replies.addReply = swapped ? "D05" : "D04";
    config.replies.saveReply = swapped ? "D04" : "D05";
    JsonTerminal::Config terminal = ExampleTerminal();
    if (emptyAidTable) terminal.aidTable.records.clear();
    InitRig rig(state, config, terminal);
    if (estCount) {
      const std::string counts[] = {"", estCount, mvtCount};
      rig.pad.Core().Handlers().Add({"D01", emu::PadApp::Payment, nullptr,
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
    Texts est = rig.control.ESTRecords, mvt = rig.control.MVTRecords;
    est.resize(3), mvt.resize(4);  // a short build fails below instead of crashing here
    Texts sent = {"P01", "D0303001", "D0101", "D0601000", "D0601000", "D0102", "D0602000"};
    if (estCount) sent = {"P01", "D0303001", "D0101", "D0102"};
    if (!emptyAidTable) sent.insert(sent.end(), {"D0401071205" + est[1], "D0401071152" + est[2]});
    sent.insert(sent.end(), {"D0402047193" + mvt[1], "D0402047232" + mvt[2], "D0402047232" + mvt[3],
                             "D0503001018060" + Version(kReference, kChecksum)});
    EXPECT_EQ(rig.Requests(), sent);
    EXPECT_EQ(rig.events.Interfaces(), Events{IE(0, 1100, "Init completed")});
    EXPECT_EQ(rig.control.fState, swapped ? STATE_IDLE : STATE_INIT_DONE);
  }
}

// A failure status stops the update where it is: Code 200 + status, the table
// text, STATE_RESULT_ERROR. A record that cannot be built stops it silently in
// 157, both tables emptied, until the stall guard reports "PinPad timeout" and
// drops the connection. Nothing more is sent; the old version stays.
TEST(TableUpdate, FailureStatusesAndUnbuildableRecordsStopTheUpdate) {
  // The request that fails or, without a status, the last one sent; the status;
  // the events; what breaks the terminal.
  using Breaker = void (*)(JsonTerminal::Config&);
  const Events guard = {IE(1, 17, "PinPad timeout")};
  const std::tuple<const char*, const char*, Events, Breaker> rows[] = {
      {"D0101", "04", {IE(1, 204, "Error opening table")}, nullptr},
      {"D0601", "06", {IE(1, 206, "Error writing to a table")}, nullptr},
      {"D0401", "08", {IE(1, 208, "Error in table record")}, nullptr},
      {"D0503", "99", {IE(1, 299, "Internal failure")}, nullptr},
      {"D0101", "A1", {IE(1, 290, "")}, nullptr},
      {"D0602", nullptr, guard, [](JsonTerminal::Config& c) { c.mvtTable.records[1][1] = "5k"; }},
      {"D0602", nullptr, guard, [](JsonTerminal::Config& c) { c.aidTable.records[2][1] = "0"; }},
  };
  for (const auto& [request, status, events, breakTerminal] : rows) {
    SCOPED_TRACE(request);
    emu::EmulatorConfig config;
    if (status) config.faults = {{emu::FaultKind::FailStatus, request, 1, 1, status}};
    JsonTerminal::Config terminal = ExampleTerminal();
    if (breakTerminal) breakTerminal(terminal);
    InitRig rig(StalePad(), config, terminal);
    rig.Ready();
    rig.Init();
    const Texts sent = rig.Requests();
    EXPECT_TRUE(sent.back().starts_with(request));
    rig.host.RunFor(30000);
    EXPECT_EQ(rig.events.Interfaces(), events);
    EXPECT_EQ(rig.control.fState, status ? STATE_RESULT_ERROR : STATE_TERMINAL_SET);
    EXPECT_EQ(rig.Requests(), sent);
    EXPECT_EQ(rig.pad.Core().Pad().VersionRecord(), Version("261201261200", kChecksum));
  }
}

// In the wrong state (code 12) the table handlers end the update, D03 keeps
// its state; a D01 count that cannot be read (code 25) stops where it is.
TEST_F(PadLinkTest, TableRepliesOutOfTheChainAndTheConfirmedDownload) {
  const std::string fs(1, FS);
  // The state, the reply, the code reported and the state after.
  const std::tuple<int16_t, std::string, int32_t, int16_t> rows[] = {
      {151, "D0100" + fs + "000" + fs, 12, 0},  // before the ACK
      {152, "D0600", 12, 0},
      {159, "D0400", 12, 0},
      {163, "D0500", 12, 0},
      {127, "D0300", 12, 127},
      {165, "D0300", 12, 165},
      {152, "D0100" + fs + "002", 25, 152},
      {152, "D0100" + fs + "two" + fs, 25, 152},
      {152, "D0100" + fs + "99999" + fs, 25, 152},
  };
  for (const auto& [state, text, code, after] : rows) {
    SCOPED_TRACE(text + " in " + std::to_string(state));
    Connect(state);
    const std::string frame = WithLrc(text);
    Deliver(frame);
    const std::string report = "Function='Process" + text.substr(0, 3) +
                               "'; State=" + std::to_string(state) + "; Message='" + frame + "'.";
    EXPECT_EQ(events.Interfaces(), Events{IE(1, code, report)});
    EXPECT_EQ(control.fState, after);
    EXPECT_EQ(Wire(), kAck);
    EXPECT_FALSE(control.TimeoutTimer->Enabled());
  }
  // A downloaded payment application, once confirmed, gets its tables afresh.
  Connect(STATE_DOWNLOAD_CHECK_ACKED);
  Deliver(WithLrc("P010002"));
  EXPECT_EQ(Wire(), kAck + WithLrc("D0101"));
  EXPECT_EQ(control.fState, STATE_EST_INFO_SENT);
  EXPECT_TRUE(events.Interfaces().empty());
  EXPECT_TRUE(TimerOn(3000));
}

}  // namespace
}  // namespace korvex::testing
