// Replies no real pad sends in the course of an update: replies in the wrong
// state, a D01 whose count cannot be read; GetTableInfo outside its states.
#include <gtest/gtest.h>

#include "harness/pad_link.h"

namespace korvex::testing {
namespace {

const std::string kFs(1, FS);

std::string Report(const char* handler, int state, const std::string& frame) {
  return std::string("Function='") + handler + "'; State=" + std::to_string(state) + "; Message='" +
         frame + "'.";
}

// The table handlers end the update (state 0); D03 keeps its state. A
// pending warm reset comes before the state check.
TEST_F(PadLinkTest, RepliesInTheWrongState) {
  const struct {
    int16_t state;
    std::string text;
    const char* handler;
    int16_t after;
  } rows[] = {
      {151, "D0100" + kFs + "000" + kFs, "ProcessD01", 0},  // before the ACK
      {160, "D0100" + kFs + "000" + kFs, "ProcessD01", 0},
      {152, "D0600", "ProcessD06", 0},
      {155, "D0600", "ProcessD06", 0},
      {159, "D0400", "ProcessD04", 0},
      {165, "D0400", "ProcessD04", 0},
      {163, "D0500", "ProcessD05", 0},
      {111, "D0500", "ProcessD05", 0},
      {127, "D0300", "ProcessD03", 127},
      {165, "D0300", "ProcessD03", 165},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.text + " in " + std::to_string(row.state));
    Connect(row.state);
    const std::string frame = WithLrc(row.text);
    Deliver(frame);
    EXPECT_EQ(events.Interfaces(), Events{IE(1, 12, Report(row.handler, row.state, frame))});
    EXPECT_EQ(control.fState, row.after);
    EXPECT_EQ(Wire(), kAck);
    EXPECT_FALSE(control.TimeoutTimer->Enabled());
  }
  Connect(STATE_D03_ACKED);
  control.WarmResetPending = true;
  Deliver(WithLrc("D0300"));
  EXPECT_EQ(events.Interfaces(), Events{IE(1, 27, "Warm reset at ProcessD03()")});
  EXPECT_EQ(control.fState, STATE_WARM_RESET_SENT);
}

TEST_F(PadLinkTest, UnreadableCountStopsTheUpdateWhereItIs) {
  const std::string f = kFs;
  for (const std::string& text :
       {std::string("D0100"), "D0100" + f + "002", "D0100" + f + "two" + f, "D0100" + f + f,
        "D0100" + f + "99999" + f}) {
    SCOPED_TRACE(text);
    Connect(STATE_EST_INFO_ACKED);
    const std::string frame = WithLrc(text);
    Deliver(frame);
    EXPECT_EQ(events.Interfaces(), Events{IE(1, 25, Report("ProcessD01", 152, frame))});
    EXPECT_EQ(control.fState, STATE_EST_INFO_ACKED);
    EXPECT_EQ(Wire(), kAck);
  }
  // Table information is asked in 151 and 153 only.
  for (int16_t state : {152, 154, 111}) {
    Connect(state);
    control.GetTableInfo();
    EXPECT_EQ(events.Interfaces(),
              Events{IE(1, 45, "GetTableInfo() was called at State=" + std::to_string(state))});
    EXPECT_EQ(control.fState, state);
    EXPECT_EQ(Wire(), "");
  }
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
