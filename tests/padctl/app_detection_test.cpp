// Finding the payment application: the connection test's entry conditions, and
// replies in the wrong state or shape. The switch through the loader is tested
// against the emulated PIN pad (tests/init/detection_test.cpp).
#include <gtest/gtest.h>

#include "harness/pad_link.h"

namespace korvex::testing {
namespace {

TEST_F(PadLinkTest, ConnectionTestFindsThePaymentApplication) {
  EXPECT_EQ(control.PerformConnectionTest(3), 1);  // only from STATE_TERMINAL_SET
  control.fState = STATE_TERMINAL_SET;
  EXPECT_EQ(control.PerformConnectionTest(3), 0);
  host.RunFor(5);
  Deliver(kAck);
  Deliver(WithLrc("P010002"));
  EXPECT_EQ(control.fState, STATE_EMVAPP_READY);
  EXPECT_EQ(events.Interfaces(), Events{IE(0, 1107, "EmvApp is ready")});
  EXPECT_EQ(control.HostIndex, 3);
  // Already connected: the P01 goes out at once, on the same connection.
  control.fState = STATE_TERMINAL_SET;
  Forget();
  EXPECT_EQ(control.PerformConnectionTest(4), 0);
  EXPECT_EQ(Wire(), WithLrc("P01"));
  EXPECT_EQ(host.ConnectionCount(), 1);
  EXPECT_EQ(control.HostIndex, 4);
}

TEST_F(PadLinkTest, DetectionRepliesInTheWrongStateOrShape) {
  Connect(STATE_APP_DETECT_ACKED);
  for (const char* text : {"P010001", "P010102", "P0100"}) {  // not a ready payment application
    const std::string f = WithLrc(text);
    Deliver(f);
    EXPECT_EQ(Take().back(), IE(1, 44, "Function='ProcessP01'; State=601; Message='" + f + "'."));
    EXPECT_EQ(control.fState, STATE_APP_DETECT_ACKED);
  }
  // The refusal does not leave the control waiting forever: the state's
  // timeout follows and suggests the loader.
  host.RunFor(3000);
  EXPECT_EQ(control.fState, STATE_LOADER_SUGGESTED);
  EXPECT_TRUE(Wire().ends_with("\x02L00\x03O"));
  // Outside a detection the refusal is only reported: no timeout follows.
  control.fState = STATE_EMVAPP_READY;
  Deliver(WithLrc("P010001"));
  host.RunFor(10000);
  EXPECT_EQ(Take().back(),
            IE(1, 44, "Function='ProcessP01'; State=111; Message='" + WithLrc("P010001") + "'."));
  control.fState = STATE_LOADER_DETECT;  // KD0 before the ACK of "L00"
  const std::pair<const char*, std::string> rows[] = {
      {"KD0", "ProcessKD0"}, {"P00", "ProcessP00"}, {"P010002", "ProcessP01"}};
  for (const auto& [text, name] : rows) {
    const std::string f = WithLrc(text);
    Deliver(f);
    EXPECT_EQ(Take().back(), IE(1, 12, "Function='" + name + "'; State=109; Message='" + f + "'."));
  }
  EXPECT_EQ(control.fState, STATE_LOADER_DETECT);
}

}  // namespace
}  // namespace korvex::testing
