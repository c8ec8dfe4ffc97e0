// Sending: block checks on the wire, the reply timer and the 60 s clamp. The
// refusal without a connection is with the router's Close event.
#include <gtest/gtest.h>

#include "harness/pad_link.h"

namespace korvex::testing {
namespace {

const std::string kAbc = Wired("abc");

TEST_F(PadLinkTest, SendMessageAppendsTheBlockCheckAndArmsTheTimer) {
  Connect(STATE_D03_SENT);
  control.SendMessage(kAbc, 3000, 1);  // LRC 61^62^63^03 = 63
  control.SendMessage(kAbc, 3000, 2);  // CRC-16 over 61 62 63 03, high byte first
  control.SendMessage(kAbc, 3000, 7);  // no check for any other frame type
  EXPECT_EQ(Wire(), Wired("abc", "c") + Wired("abc", "\xD9\xB6") + kAbc);
  EXPECT_EQ(control.LastSentMessage, kAbc);
  EXPECT_TRUE(TimerOn(3000));
  EXPECT_EQ(Take(), (Events{Sent(kAbc, 3000, 1), Sent(kAbc, 3000, 2), Sent(kAbc, 3000, 7)}));
  // A control character with timeout 0 stops the reply timer for good.
  Forget();
  control.SendMessage(kAck, 0, 0);
  EXPECT_EQ(Wire(), kAck);
  EXPECT_EQ(control.LastSentMessage, kAck);
  host.RunFor(120000);
  EXPECT_EQ(Take(), Events{Sent(kAck, 0, 0)});
  // Above 60 s the timeout is clamped, in the caller's variable too.
  for (int32_t asked : {60000, 60001, 2000000000}) {
    int32_t timeout = asked;
    control.SendMessage(kAbc, timeout, 1);
    EXPECT_EQ(timeout, 60000);
    EXPECT_TRUE(TimerOn(60000));
    EXPECT_EQ(Take(), Events{Sent(kAbc, asked, 1)});  // the trace shows what was asked
  }
}

}  // namespace
}  // namespace korvex::testing
