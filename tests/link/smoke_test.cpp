// The shortest full path: connect through the router, ask for the payment
// application, and see it confirmed.
#include <gtest/gtest.h>

#include "control/korvex_impl.h"
#include "harness/recording_events.h"
#include "harness/scripted_peer.h"

namespace korvex {
namespace {

using testing::RecordingEvents;
using testing::ScriptedPeer;
using testing::WithLrc;

TEST(ConnectionTest, PaymentApplicationAnswersAtOnce) {
  SimHost host;
  ScriptedPeer pad;
  host.Listen("router", 4001, pad);
  RecordingEvents events;
  Korvex::Impl control(host, events);
  control.Winsock1->SetRemoteHost("router");
  control.Winsock1->SetRemotePort(4001);
  control.fState = STATE_TERMINAL_SET;

  EXPECT_EQ(control.PerformConnectionTest(3), 0);
  EXPECT_EQ(control.fState, STATE_CONNECT_TEST);
  host.RunFor(10);
  EXPECT_EQ(pad.received, "SETCOMM19200,n,8,1  " + WithLrc("P01"));
  EXPECT_EQ(control.fState, STATE_APP_DETECT);

  pad.SendAck();
  pad.SendFrame("P010002");
  host.RunFor(10);
  EXPECT_EQ(control.fState, STATE_EMVAPP_READY);
  EXPECT_TRUE(events.HasInterface(0, 1107));
  EXPECT_EQ(pad.received.back(), ACK);
  EXPECT_EQ(control.HostIndex, 3);
}

}  // namespace
}  // namespace korvex
