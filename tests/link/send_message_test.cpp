// Sending: block checks on the wire, the reply timer, the 60 s clamp and the
// refusal without a connection.
#include <gtest/gtest.h>

#include "harness/pad_link.h"

namespace korvex::testing {
namespace {

const std::string kAbc = Wired("abc");

TEST_F(PadLinkTest, SendMessageAppendsTheBlockCheckAndArmsTheTimer) {
  Connect(STATE_D03_SENT);
  control.SendMessage(kAbc, 3000, 1);
  EXPECT_EQ(Wire(), Wired("abc", "c"));  // LRC 61^62^63^03 = 63
  EXPECT_EQ(control.LastSentMessage, kAbc);
  EXPECT_TRUE(TimerOn(3000));
  EXPECT_EQ(Take(), Events{Sent(kAbc, 3000, 1)});
  host.RunFor(2999);
  EXPECT_EQ(Take(), Events{});
  host.RunFor(1);
  EXPECT_EQ(Take(), (Events{Timeout(), IE(1, 17, "PinPad timeout")}));

  Forget();
  control.SendMessage(kAbc, 3000, 2);  // CRC-16 over 61 62 63 03, high byte first
  control.SendMessage(kAbc, 3000, 7);  // no check for any other frame type
  EXPECT_EQ(Wire(), Wired("abc", "\xD9\xB6") + Wired("abc"));

  // A control character with timeout 0 stops the reply timer for good.
  Forget();
  control.SendMessage(kAck, 0, 0);
  EXPECT_EQ(Wire(), kAck);
  EXPECT_EQ(control.LastSentMessage, kAck);
  EXPECT_FALSE(control.TimeoutTimer->Enabled());
  host.RunFor(120000);
  EXPECT_EQ(Take(), Events{Sent(kAck, 0, 0)});
}

TEST_F(PadLinkTest, SendMessageClampsTheTimeoutInTheCallersVariable) {
  Connect(STATE_D03_SENT);
  for (int32_t asked : {60001, 70000, 2000000000}) {
    int32_t timeout = asked;
    control.SendMessage(kAbc, timeout, 1);
    EXPECT_EQ(timeout, 60000);
    EXPECT_TRUE(TimerOn(60000));
    EXPECT_EQ(Take(), Events{Sent(kAbc, asked, 1)});  // the trace shows what was asked
  }
  int32_t exact = 60000;
  control.SendMessage(kAbc, exact, 1);
  EXPECT_EQ(exact, 60000);
}

TEST_F(PadLinkTest, SendMessageWithoutConnectionSendsNothingAndKeepsTheTimer) {
  control.fState = STATE_D03_SENT;
  control.RestartTimer(2000);
  control.LastSentMessage = "before";
  int32_t timeout = 70000;
  control.SendMessage(kAbc, timeout, 1);
  EXPECT_EQ(Take(),
            (Events{Sent(kAbc, 70000, 1),
                    IE(1, 1, "No connection at SendMessage(). State=127, Socket.State=0")}));
  EXPECT_EQ(Wire(), "");
  EXPECT_EQ(control.LastSentMessage, "before");
  EXPECT_TRUE(TimerOn(2000));
  EXPECT_EQ(timeout, 70000);  // refused before the clamp
}

}  // namespace
}  // namespace korvex::testing
