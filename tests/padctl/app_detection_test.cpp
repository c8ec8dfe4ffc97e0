// Finding the payment application: at once, or by switching back through the
// loader when it stays silent; replies in the wrong state or shape.
#include <gtest/gtest.h>

#include "harness/pad_link.h"

namespace korvex::testing {
namespace {

using Timed = std::vector<std::pair<int64_t, std::string>>;
const std::string kP01 = "\x02P01\x03R";
const std::string kReady = WithLrc("P010002");

TEST_F(PadLinkTest, ConnectionTestFindsThePaymentApplication) {
  control.fState = STATE_TERMINAL_SET;
  EXPECT_EQ(control.PerformConnectionTest(3), 0);
  host.RunFor(5);
  EXPECT_EQ(Wire(), "SETCOMM19200,n,8,1  " + kP01);
  Deliver(kAck);
  Deliver(kReady);
  EXPECT_EQ(control.fState, STATE_EMVAPP_READY);
  EXPECT_EQ(events.Interfaces(), Events{IE(0, 1107, "EmvApp is ready")});
  EXPECT_EQ(control.HostIndex, 3);
  EXPECT_EQ(control.PerformConnectionTest(4), 1);  // only from STATE_TERMINAL_SET

  // Already connected: the P01 goes out at once, on the same connection.
  control.fState = STATE_TERMINAL_SET;
  Forget();
  EXPECT_EQ(control.PerformConnectionTest(4), 0);
  EXPECT_EQ(Wire(), kP01);
  EXPECT_EQ(host.ConnectionCount(), 1);
}

TEST_F(PadLinkTest, SilentApplicationIsSwitchedBackThroughTheLoader) {
  Connect(STATE_IDLE);
  control.DetectEMVApp(STATE_APP_DETECT);
  const int64_t t0 = host.NowMs();
  Deliver(kAck);
  host.RunFor(3000);  // no answer within 3000 ms of the ACK: try the loader
  Deliver(kAck);
  Deliver(WithLrc("KD0"));
  const int64_t kd0 = host.NowMs();
  host.RunFor(500);  // the loader is found: switch to the payment application
  Deliver(kAck);
  EXPECT_TRUE(TimerOn(5000));
  Deliver(WithLrc("P00"));
  Deliver(kAck);
  Deliver(kReady);
  EXPECT_EQ(control.fState, STATE_EMVAPP_READY);
  EXPECT_EQ(events.Interfaces(), Events{IE(0, 1107, "EmvApp is ready")});
  EXPECT_EQ(Writes(), (Timed{{t0, kP01},
                             {t0 + 3001, "\x02L00\x03O"},
                             {kd0, kAck},
                             {kd0 + 500, "\x02L0302\x03N"},
                             {kd0 + 502, kAck},
                             {kd0 + 502, kP01},
                             {kd0 + 504, kAck}}));
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
  EXPECT_EQ(Take().back(), IE(1, 44, "Function='ProcessP01'; State=111; Message='" +
                                         WithLrc("P010001") + "'."));
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
