// The emulator behind its adapters: a peer on SimHost, and a byte stream
// without a router.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <asio.hpp>

#include "emulator/adapters/sim_pinpad.h"
#include "emulator/adapters/stream_pinpad.h"
#include "emulator/adapters/tcp_server.h"
#include "raw_line.h"

namespace korvex::emu {
namespace {

using namespace testing;

struct NoEvents : SocketEvents {
  void OnConnect() override {}
  void OnClose() override {}
  void OnDataArrival(int32_t) override {}
  void OnError(int32_t, const std::string&) override {}
};

// Its answers on SimHost carry every end-to-end flow test. Here, with no
// latency, a paced exchange lasts exactly its bytes' wire time (the request's
// 6 bytes, the ACK and the reply's 10 at 19200 baud), and a fault closes the
// connection.
TEST(SimPinPad, PacesItsBytesAndClosesTheConnectionOnAFault) {
  SimHost host;
  host.toPeer.latencyMs = 0;
  host.toControl.latencyMs = 0;
  EmulatorConfig config;
  config.link.pace = true;
  config.faults = {{FaultKind::Close, "72", 1, 1, "", 0, 0}};
  SimPinPad pad(host, config);
  pad.Listen("router", 4001);
  NoEvents events;
  auto socket = host.CreateSocket(events);
  socket->SetRemoteHost("router");
  socket->SetRemotePort(4001);
  socket->Connect();
  host.RunFor(5);
  const int64_t start = host.NowUs();
  socket->SendData(kSetComm19200 + Frame("P01"));
  host.RunFor(50);
  EXPECT_EQ(host.Written(SimSide::Peer), kAck + Frame("P010002"));
  std::vector<int64_t> times;
  for (const auto& r : host.WireLog()) {
    if (r.from == SimSide::Peer && r.kind == SimWireRecord::Data) times.push_back(r.timeUs - start);
  }
  const int64_t byte = ByteTimeUs(19200);
  ASSERT_EQ(times.size(), 11u);  // each byte on its own
  EXPECT_EQ(times.front(), 7 * byte);
  EXPECT_EQ(times.back(), 17 * byte);

  socket->SendData(Frame("72"));
  host.RunFor(50);
  EXPECT_EQ(host.WireLog().back().kind, SimWireRecord::Close);
  EXPECT_FALSE(pad.Core().Connected());
}

TEST(StreamPinPad, ServesADirectLineWithoutRouterCommand) {
  int fds[2];
  ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, fds), 0);
  asio::io_context io;
  Emulator core;
  StreamPinPad pad(io, fds[0], core);
  pad.Start();
  const std::string request = Frame("P01");
  ASSERT_EQ(write(fds[1], request.data(), request.size()), ssize_t(request.size()));
  std::string got;
  for (int i = 0; i < 100 && got.size() < 11; ++i) {
    io.run_for(std::chrono::milliseconds(10));
    char buf[64];
    const ssize_t n = recv(fds[1], buf, sizeof buf, MSG_DONTWAIT);
    if (n > 0) got.append(buf, size_t(n));
  }
  EXPECT_EQ(got, kAck + Frame("P010002"));
  close(fds[1]);  // the line goes away: the core is disconnected
  for (int i = 0; i < 100 && !pad.Done(); ++i) io.run_for(std::chrono::milliseconds(10));
  EXPECT_TRUE(pad.Done());
  EXPECT_FALSE(core.Connected());
  EXPECT_TRUE(core.Violations().empty()) << core.ViolationSummary();
}

// A client that brings no unit (here a byte of garbage now and then) is
// dropped after the idle timeout, and the next client waiting is served.
TEST(TcpServer, DropsAClientThatSendsNoUnitAndServesTheNext) {
  asio::io_context io;
  Emulator core;
  TcpServer server(io, core, {asio::ip::make_address("127.0.0.1"), 0});
  server.idleTimeoutUs = 200000;
  int idle = 0;
  server.onIdle = [&] { ++idle; };
  server.Start();
  using asio::ip::tcp;
  auto connect = [&] {
    auto s = std::make_unique<tcp::socket>(io);
    s->connect(server.LocalEndpoint());
    s->non_blocking(true);
    return s;
  };
  // Runs the server until `done` holds or 5 s have passed, writing `trickle`
  // to `client` every 20 ms; returns what the client read, and whether it was closed.
  auto serve = [&](tcp::socket& client, const std::string& trickle, auto done) {
    std::string got;
    bool closed = false;
    for (int i = 0; i < 250 && !done(got, closed); ++i) {
      if (!trickle.empty()) asio::write(client, asio::buffer(trickle));
      io.run_for(std::chrono::milliseconds(20));
      char buf[256];
      std::error_code ec;
      const size_t n = client.read_some(asio::buffer(buf), ec);
      if (!ec) got.append(buf, n);
      closed = closed || ec == asio::error::eof || ec == asio::error::connection_reset;
    }
    return std::make_pair(got, closed);
  };
  const std::string reply = kAck + Frame("P010002");

  auto first = connect();
  asio::write(*first, asio::buffer(kSetComm19200 + Frame("P01")));
  EXPECT_EQ(serve(*first, "", [&](const std::string& got, bool) { return got == reply; }).first,
            reply);
  auto second = connect();
  asio::write(*second, asio::buffer(kSetComm19200 + Frame("P01")));
  EXPECT_TRUE(serve(*first, "x", [](const std::string&, bool closed) { return closed; }).second);
  EXPECT_EQ(idle, 1);
  EXPECT_EQ(serve(*second, "", [&](const std::string& got, bool) { return got == reply; }).first,
            reply);
}

}  // namespace
}  // namespace korvex::emu
