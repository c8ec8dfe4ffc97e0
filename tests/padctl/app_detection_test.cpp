// The connection test's entry and replies in the wrong state or shape; the
// detection itself runs against the emulated PIN pad in tests/init.
#include <gtest/gtest.h>

#include "harness/pad_link.h"

namespace korvex::testing {
namespace {

TEST_F(PadLinkTest, ConnectionTestAndRepliesInTheWrongStateOrShape) {
  EXPECT_EQ(control.PerformConnectionTest(3), 1);  // only from STATE_TERMINAL_SET
  Connect(STATE_TERMINAL_SET);
  EXPECT_EQ(control.PerformConnectionTest(4), 0);
  EXPECT_EQ(Wire(), WithLrc("P01"));  // at once, on the same connection
  EXPECT_EQ(control.HostIndex, 4);
  Deliver(kAck);
  for (const char* text : {"P010001", "P010102", "P0100"}) {  // not a ready payment application
    const std::string f = WithLrc(text);
    Deliver(f);
    EXPECT_EQ(Take().back(), IE(1, 44, "Function='ProcessP01'; State=601; Message='" + f + "'."));
    EXPECT_EQ(control.fState, STATE_APP_DETECT_ACKED);
  }
  // The refusal is not a dead stop: the state's timeout suggests the loader.
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
  for (const std::string text : {"KD0", "P00", "P010002"}) {
    const std::string f = WithLrc(text);
    Deliver(f);
    EXPECT_EQ(
        Take().back(),
        IE(1, 12, "Function='Process" + text.substr(0, 3) + "'; State=109; Message='" + f + "'."));
  }
  EXPECT_EQ(control.fState, STATE_LOADER_DETECT);
}

}  // namespace
}  // namespace korvex::testing
