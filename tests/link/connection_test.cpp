// The router connection: reconnecting, the line command and first request per
// purpose (the download's is with its retries), an unexpected connection, and
// the router's Close and Error events, also in a wait the stall guard watches.
#include <gtest/gtest.h>

#include "harness/pad_link.h"

namespace korvex::testing {
namespace {

const std::string kLine = "SETCOMM19200,n,8,1  ";

TEST(Connection, EachPurposeSendsTheLineCommandThenItsFirstRequest) {
  const std::tuple<int16_t, int16_t, const char*, const char*> rows[] = {
      {100, 600, "Rakenduse EMVApp tuvastamine...", "P01"},
      {125, 127, nullptr, "D0303001"},
      {135, 137, "K\xE4ivitan EMVApp...", "L0302"},
  };
  for (const auto& [connectIn, next, say, text] : rows) {
    PadLink link;
    link.Connect(STATE_EMVAPP_READY);  // connecting again closes the open connection first
    link.control.RetryCount = 3;
    link.control.ConnectRouter(connectIn);
    link.host.RunFor(5);
    EXPECT_EQ(link.pad.closes, 1);
    const std::string connecting = "Connecting... State=" + std::to_string(connectIn);
    EXPECT_EQ(link.Take(),
              (Events{DE(5, connecting), DE(8, "PinPad connected!")} +
               (say ? Events{DE(10, say)} : Events{}) + Events{Sent(Wired(text), 3000, 1)}));
    EXPECT_EQ(link.Wire(), kLine + WithLrc(text));
    EXPECT_EQ(link.control.fState, next);
    EXPECT_TRUE(link.TimerOn(3000));
    EXPECT_EQ(link.control.RetryCount, connectIn == 135 ? 0 : 3);
  }
}

TEST(Connection, UnexpectedConnectionIsDroppedAndTheControlGoesIdle) {
  PadLink link;
  link.control.ConnectRouter(STATE_EMVAPP_READY);
  link.host.RunFor(5);
  EXPECT_EQ(link.Take(), (Events{DE(5, "Connecting... State=111"), DE(8, "PinPad connected!")}));
  EXPECT_EQ(link.Wire(), "");
  EXPECT_EQ(link.pad.closes, 1);
  EXPECT_EQ(link.control.fState, STATE_IDLE);
  EXPECT_EQ(link.control.HostIndex, -1);
  EXPECT_FALSE(link.control.TimeoutTimer->Enabled());
}

TEST(Connection, RouterCloseAndSocketErrorAreReportedAndLeaveStateAndTimer) {
  PadLink link;
  link.Connect(STATE_APP_DETECT, 3000);
  link.pad.connection->Close();
  link.host.RunFor(1);
  EXPECT_EQ(link.Take(), (Events{DE(10, "Connection closed by TCP/COM Router"),
                                 IE(1, 38, "Connection closed by TCP/COM Router")}));
  EXPECT_EQ(link.control.Winsock1->State(), sckClosed);
  link.host.RunFor(2999);
  EXPECT_EQ(link.Take(), (Events{kTimeout, IE(1, 44, "PinPad application/connection error.")}));
  // Sending is now refused: nothing written, the last message and the timer kept.
  int32_t timeout = 70000;
  link.control.SendMessage(Wired("abc"), timeout, 1);
  EXPECT_EQ(link.Take(),
            (Events{Sent(Wired("abc"), 70000, 1),
                    IE(1, 1, "No connection at SendMessage(). State=600, Socket.State=0")}));
  EXPECT_EQ(timeout, 70000);  // refused before the clamp
  EXPECT_EQ(link.control.LastSentMessage, "");
  EXPECT_TRUE(link.TimerOn(3000));

  link.control.Winsock1->SetRemotePort(4002);  // nobody listens there
  link.control.ConnectRouter(STATE_CONNECT_TEST);
  link.host.RunFor(9999);
  EXPECT_EQ(link.Take(), (Events{DE(5, "Connecting... State=100"),
                                 DE(10, "Winsock error: 10061 - Connection is forcefully rejected"),
                                 IE(3, 10061, "Connection is forcefully rejected")}));
  EXPECT_EQ(link.control.Winsock1->State(), sckClosed);
  link.host.RunFor(1);  // the connect timer runs on
  EXPECT_EQ(link.Take(), (Events{kTimeout, IE(1, 17, "PinPad timeout")}));
}

// A wait with no reply timer is the stall guard's until the router closes:
// the close is the one report, and no "PinPad timeout" follows it.
TEST(Connection, RouterCloseEndsAWaitTheStallGuardWatched) {
  PadLink link;
  link.Connect(STATE_FINAL_DATA_ACKED);
  link.pad.connection->Send(std::string(1, ENQ));  // any arrival starts the guard
  link.host.RunFor(1);
  EXPECT_TRUE(link.control.StallGuardArmed());
  link.pad.connection->Close();
  link.host.RunFor(1);
  link.Take();
  EXPECT_FALSE(link.control.StallGuardArmed());
  link.host.RunFor(2 * link.control.StallGuardMs);
  EXPECT_EQ(link.Take(), Events{});
  EXPECT_EQ(link.control.fState, STATE_FINAL_DATA_ACKED);
}

}  // namespace
}  // namespace korvex::testing
