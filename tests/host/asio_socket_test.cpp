// AsioHost sockets over real loopback TCP. The peer runs on the host's own
// io_context; every wait is a RunUntil whose limit only turns a hang into a
// failure.
#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>

#include "host/host_events.h"
#include "host/loopback_peer.h"
#include "korvex/asio_host.h"

namespace korvex {
namespace {

using namespace std::chrono_literals;
using testing::LoopbackPeer;
using testing::SocketLog;
using Lines = std::vector<std::string>;

constexpr auto kMax = 5s;

class AsioSocketTest : public ::testing::Test {
 protected:
  void Connect(int32_t port) {
    socket->SetRemoteHost("127.0.0.1");
    socket->SetRemotePort(port);
    socket->Connect();
  }
  void ConnectToPeer() {
    Connect(peer.Port());
    EXPECT_EQ(socket->State(), sckConnecting);
    ASSERT_TRUE(
        host.RunUntil([&] { return socket->State() == sckConnected && peer.Connected(); }, kMax));
  }
  bool WaitLines(size_t n) {
    return host.RunUntil([&] { return log.lines.size() >= n; }, kMax);
  }
  // Runs Asio handlers without delivering, until an event waits in the queue.
  bool WaitQueued() {
    const auto until = std::chrono::steady_clock::now() + kMax;
    while (host.PendingEvents() == 0 && std::chrono::steady_clock::now() < until) {
      host.Context().poll();
    }
    return host.PendingEvents() > 0;
  }
  int32_t UnusedPort() {
    asio::ip::tcp::acceptor probe(host.Context(), {asio::ip::make_address("127.0.0.1"), 0});
    return probe.local_endpoint().port();
  }

  AsioHost host;
  LoopbackPeer peer{host.Context()};
  SocketLog log;
  std::unique_ptr<Socket> socket = host.CreateSocket(log);
};

TEST_F(AsioSocketTest, WritesLeaveInOrderAndArrivalsAccumulate) {
  socket->SendData("dropped while closed");
  ConnectToPeer();
  EXPECT_EQ(log.lines, Lines{"connect"});

  // Far more than one write can take at once, so most of it waits its turn.
  std::string expected;
  for (int i = 0; i < 40; ++i) {
    const std::string piece(50000, static_cast<char>('a' + i % 26));
    socket->SendData(piece);
    expected += piece;
  }
  ASSERT_TRUE(host.RunUntil([&] { return peer.Received().size() >= expected.size(); }, kMax));
  EXPECT_TRUE(peer.Received() == expected);

  peer.Send("abc");
  ASSERT_TRUE(WaitLines(2));
  peer.Send("de");
  ASSERT_TRUE(WaitLines(3));
  EXPECT_EQ(log.lines, (Lines{"connect", "data 3", "data 5"}));
  EXPECT_EQ(socket->GetData(), "abcde");
  EXPECT_EQ(socket->GetData(), "");
}

TEST_F(AsioSocketTest, FailedConnectsCarryTheSystemError) {
  Connect(UnusedPort());
  ASSERT_TRUE(WaitLines(1));
  EXPECT_EQ(log.lines[0], "error " + std::to_string(ECONNREFUSED) + " Connection refused");
  EXPECT_EQ(socket->State(), sckError);

  // Not closed yet: refused, and the socket stays as it was.
  socket->Connect();
  ASSERT_TRUE(WaitLines(2));
  EXPECT_EQ(log.lines[1], "error 40020 Invalid operation at current state");
  EXPECT_EQ(socket->State(), sckError);

  socket->Close();
  Connect(0);
  ASSERT_TRUE(WaitLines(3));
  EXPECT_EQ(log.lines[2], "error " + std::to_string(EINVAL) + " Invalid argument");

  socket->Close();
  ConnectToPeer();
  EXPECT_EQ(log.lines.back(), "connect");
}

TEST_F(AsioSocketTest, PeerCloseFollowsTheDataBeforeIt) {
  ConnectToPeer();
  peer.Send("bye");
  peer.Close();
  ASSERT_TRUE(WaitLines(3));
  EXPECT_EQ(log.lines, (Lines{"connect", "data 3", "close"}));
  EXPECT_EQ(socket->State(), sckClosing);

  socket->SendData("ignored");
  socket->Close();
  EXPECT_EQ(socket->State(), sckClosed);
  ASSERT_TRUE(host.RunUntil([&] { return peer.SawClose(); }, kMax));
  EXPECT_EQ(peer.Received(), "");
}

TEST_F(AsioSocketTest, LocalCloseVoidsQueuedEventsButFinishesWrites) {
  ConnectToPeer();
  peer.Send("never seen");
  ASSERT_TRUE(WaitQueued());
  const std::string big(300000, 'z');
  socket->SendData("head");
  socket->SendData(big);
  socket->Close();
  EXPECT_EQ(socket->State(), sckClosed);
  host.DoEvents();
  EXPECT_EQ(socket->GetData(), "");

  ASSERT_TRUE(host.RunUntil([&] { return peer.SawClose(); }, kMax));
  EXPECT_EQ(log.lines, Lines{"connect"});
  EXPECT_TRUE(peer.Received() == "head" + big);
}

TEST_F(AsioSocketTest, DestroyedSocketHearsNothing) {
  ConnectToPeer();
  peer.Send("orphan");
  ASSERT_TRUE(WaitQueued());
  socket.reset();
  host.DoEvents();
  EXPECT_EQ(log.lines, Lines{"connect"});
  ASSERT_TRUE(host.RunUntil([&] { return peer.SawClose(); }, kMax));
}

// A handler that yields while bytes keep coming: the nested DoEvents polls the
// context from outside any Asio handler and delivers the next chunk inside.
TEST_F(AsioSocketTest, YieldInsideDataArrivalDeliversTheNextChunk) {
  ConnectToPeer();
  Lines order;
  int depth = 0;
  log.onData = [&](int32_t total) {
    order.push_back(std::to_string(total) + " at depth " + std::to_string(depth));
    if (depth > 0) return;
    ++depth;
    peer.Send("second");
    const auto until = std::chrono::steady_clock::now() + kMax;
    while (order.size() < 2 && std::chrono::steady_clock::now() < until) host.DoEvents();
    --depth;
    order.push_back("done");
  };
  peer.Send("first");
  ASSERT_TRUE(host.RunUntil([&] { return order.size() >= 3; }, kMax));
  EXPECT_EQ(order, (Lines{"5 at depth 0", "11 at depth 1", "done"}));
  EXPECT_EQ(socket->GetData(), "firstsecond");
}

}  // namespace
}  // namespace korvex
