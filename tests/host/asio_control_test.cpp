// The control itself on AsioHost, with a loopback listener playing the router
// and the PIN pad.
#include <gtest/gtest.h>

#include <chrono>

#include "control/korvex_impl.h"
#include "harness/recording_events.h"
#include "harness/scripted_peer.h"
#include "host/loopback_peer.h"
#include "korvex/asio_host.h"

namespace korvex {
namespace {

using namespace std::chrono_literals;
using testing::IE;
using testing::LoopbackPeer;
using testing::RecordingEvents;
using testing::WithLrc;

TEST(AsioControlTest, ConnectionTestReachesTheReadyPaymentApplication) {
  AsioHost host;
  LoopbackPeer pad(host.Context());
  const std::string request = "SETCOMM19200,n,8,1  " + WithLrc("P01");
  bool answered = false;
  pad.OnData([&](const std::string&) {
    if (answered || pad.Received() != request) return;
    answered = true;
    pad.Send(std::string(1, ACK));
    pad.Send(WithLrc("P010002"));
  });

  RecordingEvents events;
  Korvex::Impl impl(host, events);
  impl.fState = STATE_TERMINAL_SET;
  impl.Winsock1->SetRemoteHost("127.0.0.1");
  impl.Winsock1->SetRemotePort(pad.Port());
  ASSERT_EQ(impl.PerformConnectionTest(1), 0);

  ASSERT_TRUE(host.RunUntil([&] { return impl.fState == STATE_EMVAPP_READY; }, 5s));
  EXPECT_EQ(events.Interfaces(), std::vector{IE(0, 1107, "EmvApp is ready")});
  // The reply frame is acknowledged.
  EXPECT_TRUE(host.RunUntil([&] { return pad.Received() == request + ACK; }, 5s));
}

}  // namespace
}  // namespace korvex
