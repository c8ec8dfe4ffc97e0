// The router connection: the line command and first request per purpose, an
// unexpected connection, reconnecting, and the router's Close and Error events.
#include <gtest/gtest.h>

#include "harness/pad_link.h"

namespace korvex::testing {
namespace {

const std::string kLine = "SETCOMM19200,n,8,1  ";

TEST(Connection, EachPurposeSendsTheLineCommandThenItsFirstRequest) {
  struct Row {
    int16_t connectIn, next;
    Events trace;
    std::string frame;
  };
  const Row rows[] = {
      {100,
       600,
       {DE(10, "Rakenduse EMVApp tuvastamine..."), Sent("\x02P01\x03", 3000, 1)},
       "\x02P01\x03R"},
      {125, 127, {Sent(Wired("D0303001"), 3000, 1)}, Wired("D0303001", "v")},
      {135,
       137,
       {DE(10, "K\xE4ivitan EMVApp..."), Sent("\x02L0302\x03", 3000, 1)},
       "\x02L0302\x03N"},
  };
  for (const Row& row : rows) {
    PadLink link;
    link.control.RetryCount = 3;
    link.control.ConnectRouter(row.connectIn);
    EXPECT_EQ(link.control.fState, row.connectIn);
    EXPECT_TRUE(link.TimerOn(10000));
    link.host.RunFor(5);
    const std::string connecting = "Connecting... State=" + std::to_string(row.connectIn);
    EXPECT_EQ(link.Take(), (Events{DE(5, connecting), DE(8, "PinPad connected!")} + row.trace));
    // The line command is its own write, ahead of the frame.
    using Timed = std::vector<std::pair<int64_t, std::string>>;
    EXPECT_EQ(link.Writes(), (Timed{{1, kLine}, {1, row.frame}}));
    EXPECT_EQ(link.control.fState, row.next);
    EXPECT_TRUE(link.TimerOn(3000));
    if (row.connectIn == 135) {
      EXPECT_EQ(link.control.RetryCount, 0);
    }
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

TEST(Connection, ConnectingAgainClosesTheOpenConnectionFirst) {
  PadLink link;
  link.Connect(STATE_EMVAPP_READY);
  link.control.ConnectRouter(STATE_CONNECT_INIT);
  link.host.RunFor(5);
  EXPECT_EQ(link.pad.closes, 1);
  EXPECT_EQ(link.host.ConnectionCount(), 2);
  EXPECT_EQ(link.Wire(), kLine + Wired("D0303001", "v"));
}

TEST(Connection, RouterCloseIsReportedAndLeavesStateAndTimer) {
  PadLink link;
  link.control.ConnectRouter(STATE_CONNECT_TEST);
  link.host.RunFor(5);
  link.Forget();
  link.pad.connection->Close();
  link.host.RunFor(1);
  EXPECT_EQ(link.Take(), (Events{DE(10, "Connection closed by TCP/COM Router"),
                                 IE(1, 38, "Connection closed by TCP/COM Router")}));
  EXPECT_EQ(link.control.Winsock1->State(), sckClosed);
  EXPECT_EQ(link.control.fState, STATE_APP_DETECT);
  // The P01 went out at 1 ms; its timer still expires at 3001.
  link.host.RunFor(3001 - link.host.NowMs());
  EXPECT_EQ(link.Take(), (Events{Timeout(), IE(1, 44, "PinPad application/connection error.")}));
}

TEST(Connection, SocketErrorIsReportedAndTheConnectTimerRunsOn) {
  PadLink link;
  link.control.Winsock1->SetRemotePort(4002);  // nobody listens there
  link.control.ConnectRouter(STATE_CONNECT_TEST);
  link.host.RunFor(9999);
  EXPECT_EQ(link.Take(), (Events{DE(5, "Connecting... State=100"),
                                 DE(10, "Winsock error: 10061 - Connection is forcefully rejected"),
                                 IE(3, 10061, "Connection is forcefully rejected")}));
  EXPECT_EQ(link.control.fState, STATE_CONNECT_TEST);
  EXPECT_EQ(link.control.Winsock1->State(), sckClosed);
  link.host.RunFor(1);
  EXPECT_EQ(link.Take(), (Events{Timeout(), IE(1, 17, "PinPad timeout")}));
}

}  // namespace
}  // namespace korvex::testing
