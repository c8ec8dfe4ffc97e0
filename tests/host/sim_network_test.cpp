// SimHost's simulated connections: connecting, link behaviour, closing and the
// wire log. Each socket event is logged with its virtual time.
#include <gtest/gtest.h>

#include "harness/scripted_peer.h"
#include "host/host_events.h"
#include "korvex/sim_host.h"

namespace korvex {
namespace {

using testing::ScriptedPeer;
using testing::SocketLog;
using Lines = std::vector<std::string>;

char Inverted(char c) {
  return static_cast<char>(~static_cast<unsigned char>(c));
}

class SimNetworkTest : public ::testing::Test {
 protected:
  SimNetworkTest() {
    host.Listen("router", 4001, pad);
    log.stamp = [&] { return std::to_string(host.NowMs()); };
  }
  void Connect(const std::string& where, int32_t port) {
    socket->SetRemoteHost(where);
    socket->SetRemotePort(port);
    socket->Connect();
  }
  void ConnectToPad() {
    Connect("router", 4001);
    host.RunFor(host.connectDelayMs);
    ASSERT_EQ(socket->State(), sckConnected);
  }

  SimHost host;
  ScriptedPeer pad;
  SocketLog log;
  std::unique_ptr<Socket> socket = host.CreateSocket(log);
};

TEST_F(SimNetworkTest, ConnectsToAListenerOnly) {
  host.connectDelayMs = 3;
  Connect("router", 4001);
  EXPECT_EQ(socket->State(), sckConnecting);
  host.RunFor(3);
  EXPECT_EQ(socket->State(), sckConnected);
  EXPECT_EQ(pad.connects, 1);

  socket->Connect();  // already connected
  host.RunFor(1);
  EXPECT_EQ(socket->State(), sckConnected);

  socket->Close();
  Connect("router", 4002);
  host.RunFor(3);
  EXPECT_EQ(socket->State(), sckError);
  socket->Close();
  Connect("nowhere", 4001);
  host.RunFor(3);
  EXPECT_EQ(log.lines, (Lines{"3 connect", "3 error 40020 Invalid operation at current state",
                              "7 error 10061 Connection is forcefully rejected",
                              "10 error 11001 Authoritative answer: Host not found"}));
  EXPECT_EQ(pad.connects, 1);
}

TEST_F(SimNetworkTest, LatencyAndChunkSplittingKeepOrder) {
  host.toPeer.latencyMs = 7;
  host.toControl.latencyMs = 4;
  host.toControl.chunkSize = 3;
  host.toControl.chunkGapMs = 2;
  ConnectToPad();
  Lines arrivals;
  pad.onData = [&](SimConnection&, const std::string& bytes) {
    arrivals.push_back(std::to_string(host.NowMs()) + " " + bytes);
  };
  socket->SendData("hello");
  pad.Send("abcdefgh");
  pad.Send("ij");  // queued behind the pieces of the first write
  host.RunFor(20);
  EXPECT_EQ(arrivals, Lines{"8 hello"});
  EXPECT_EQ(log.lines, (Lines{"1 connect", "5 data 3", "7 data 6", "9 data 8", "9 data 10"}));
  EXPECT_EQ(socket->GetData(), "abcdefghij");
}

TEST_F(SimNetworkTest, CorruptionHitsStreamOffsetsPerConnection) {
  host.toControl.corruptOffsets = {1, 4};
  ConnectToPad();
  pad.Send("abc");
  pad.Send("def");
  socket->SendData("xyz");
  host.RunFor(10);
  EXPECT_EQ(socket->GetData(), std::string("a") + Inverted('b') + "cd" + Inverted('e') + "f");
  EXPECT_EQ(pad.received, "xyz");
  // The log keeps what was written, not what arrived.
  EXPECT_EQ(host.Written(SimSide::Peer), "abcdef");

  socket->Close();
  ConnectToPad();
  pad.Send("abc");
  host.RunFor(10);
  EXPECT_EQ(socket->GetData(), std::string("a") + Inverted('b') + "c");
}

TEST_F(SimNetworkTest, PeerCloseArrivesBehindTheDataInFlight) {
  host.toControl.latencyMs = 5;
  host.toControl.chunkSize = 2;
  host.toControl.chunkGapMs = 3;
  ConnectToPad();
  pad.Send("wxyz");
  pad.connection->Close();
  host.RunFor(20);
  EXPECT_EQ(log.lines, (Lines{"1 connect", "6 data 2", "9 data 4", "9 close"}));
  EXPECT_EQ(socket->State(), sckClosing);

  socket->SendData("late");
  socket->Close();
  host.RunFor(20);
  EXPECT_EQ(pad.received, "");
  EXPECT_EQ(pad.closes, 0);  // the pad closed first and hears nothing more
  // A peer may keep its connection handle for as long as the host lives.
  ASSERT_NE(pad.connection, nullptr);
  EXPECT_FALSE(pad.connection->IsOpen());
  pad.connection->Send("ignored");
  host.RunFor(20);
  EXPECT_EQ(socket->GetData(), "");
}

TEST_F(SimNetworkTest, LocalCloseVoidsEverythingPending) {
  ConnectToPad();
  pad.Send("late");
  socket->Connect();  // its error is still queued when the socket closes
  socket->SendData("last");
  socket->Close();
  EXPECT_EQ(socket->State(), sckClosed);
  host.RunFor(20);
  EXPECT_EQ(log.lines, Lines{"1 connect"});
  EXPECT_EQ(socket->GetData(), "");
  EXPECT_EQ(pad.received, "last");
  EXPECT_EQ(pad.closes, 1);

  // An attempt closed before it completes never reaches the listener.
  Connect("router", 4001);
  socket->Close();
  host.RunFor(20);
  EXPECT_EQ(pad.connects, 1);
  EXPECT_EQ(log.lines, Lines{"1 connect"});
}

std::string Describe(const SimWireRecord& r) {
  const char* kind[] = {"data", "open", "close"};
  return std::to_string(r.timeMs) + (r.from == SimSide::Control ? " control " : " peer ") +
         kind[r.kind] + " #" + std::to_string(r.connection) + " " + r.bytes;
}

TEST_F(SimNetworkTest, WireLogRecordsBothSidesWithTimes) {
  host.toPeer.latencyMs = 2;
  pad.onData = [&](SimConnection& c, const std::string&) { c.Send("R"); };
  ConnectToPad();
  socket->SendData("Q");
  host.RunFor(6);
  socket->Close();
  Lines wire;
  for (const auto& r : host.WireLog()) wire.push_back(Describe(r));
  EXPECT_EQ(wire, (Lines{"1 control open #1 ", "1 control data #1 Q", "3 peer data #1 R",
                         "7 control close #1 "}));
  EXPECT_EQ(host.Written(SimSide::Control), "Q");
  host.ClearWireLog();
  EXPECT_TRUE(host.WireLog().empty());
}

}  // namespace
}  // namespace korvex
