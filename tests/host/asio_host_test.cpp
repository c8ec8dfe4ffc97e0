// AsioHost on a real clock and loopback TCP (the control over it: the `korvex host`
// and `korvex demo` process tests). Waits are RunUntil calls whose
// limit only turns a hang into a failure; nothing asserts a duration.
#include "korvex/asio_host.h"

#include <gtest/gtest.h>

#include <array>
#include <asio/ip/tcp.hpp>
#include <asio/write.hpp>
#include <cerrno>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

#include "host/host_events.h"
#include "host/queued_event.h"

namespace korvex {
namespace {

using namespace std::chrono_literals;
using Lines = std::vector<std::string>;
using asio::ip::tcp;

constexpr auto kMax = 5s;

// The far end on 127.0.0.1. It accepts on the host's own io_context and is
// read by polling from the waits' conditions, so it needs no thread.
struct LoopbackPeer {
  explicit LoopbackPeer(asio::io_context& io)
      : acceptor(io, {asio::ip::make_address("127.0.0.1"), 0}), socket(io) {
    acceptor.async_accept(socket, [](const asio::error_code&) {});
  }
  // Everything read so far, after taking what has arrived.
  const std::string& Received() {
    std::array<char, 65536> buffer;
    asio::error_code ec;
    while (socket.is_open() && !closed) {
      socket.non_blocking(true);
      const size_t n = socket.read_some(asio::buffer(buffer), ec);
      if (ec == asio::error::would_block) break;
      closed = static_cast<bool>(ec);
      received.append(buffer.data(), n);
    }
    return received;
  }
  void Send(const std::string& bytes) { asio::write(socket, asio::buffer(bytes)); }

  tcp::acceptor acceptor;
  tcp::socket socket;
  std::string received;
  bool closed = false;  // the control closed its end
};

class AsioHostTest : public ::testing::Test {
 protected:
  void Connect(int32_t port) {
    socket->SetRemoteHost("127.0.0.1");
    socket->SetRemotePort(port);
    socket->Connect();
  }
  void ConnectToPeer() {
    Connect(peer.acceptor.local_endpoint().port());
    ASSERT_TRUE(Wait([&] { return socket->State() == sckConnected && peer.socket.is_open(); }));
  }
  bool Wait(const std::function<bool()>& done) { return host.RunUntil(done, kMax); }
  // Lets a 1 ms tick expire and wait in the queue, undelivered.
  bool QueueTick() {
    std::this_thread::sleep_for(5ms);
    host.Context().poll();
    return host.PendingEvents() > 0;
  }

  AsioHost host;
  LoopbackPeer peer{host.Context()};
  testing::SocketLog log;
  std::unique_ptr<Socket> socket = host.CreateSocket(log);
  testing::TickLog ticks;
  std::unique_ptr<Timer> timer = host.CreateTimer(ticks);
};

TEST_F(AsioHostTest, RefusedConnectThenWritesInOrderAndPeerClose) {
  const int32_t unused = tcp::acceptor(host.Context(), {asio::ip::make_address("127.0.0.1"), 0})
                             .local_endpoint()
                             .port();
  Connect(unused);
  ASSERT_TRUE(Wait([&] { return log.lines.size() >= 1; }));
  EXPECT_EQ(log.lines[0], "error 10061 Connection is forcefully rejected");
  socket->Connect();  // not closed yet: refused, and the socket stays as it was
  ASSERT_TRUE(Wait([&] { return log.lines.size() >= 2; }));
  EXPECT_EQ(log.lines[1], "error 40020 Invalid operation at current state");
  EXPECT_EQ(socket->State(), sckError);
  socket->Close();
  socket->SendData("dropped while closed");
  ConnectToPeer();

  // Far more than one write can take at once, so most of it waits its turn.
  std::string expected;
  for (char c = 'A'; c < 'A' + 40; ++c) expected += std::string(50000, c);
  for (size_t at = 0; at < expected.size(); at += 50000)
    socket->SendData(expected.substr(at, 50000));
  ASSERT_TRUE(Wait([&] { return peer.Received().size() >= expected.size(); }));
  EXPECT_TRUE(peer.Received() == expected);

  peer.Send("bye");
  peer.socket.shutdown(tcp::socket::shutdown_send);
  ASSERT_TRUE(Wait([&] { return log.lines.size() >= 5; }));
  EXPECT_EQ(Lines(log.lines.begin() + 2, log.lines.end()), (Lines{"connect", "data 3", "close"}));
  EXPECT_EQ(socket->State(), sckClosing);
  socket->SendData("ignored");
  socket->Close();
  ASSERT_TRUE(Wait([&] {
    peer.Received();
    return peer.closed;
  }));
  EXPECT_EQ(peer.Received().size(), expected.size());
}

// The nested DoEvents polls the context from outside any Asio handler and
// delivers the next chunk inside the handler that yields.
TEST_F(AsioHostTest, YieldInsideDataArrivalDeliversTheNextChunk) {
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
  ASSERT_TRUE(Wait([&] { return order.size() >= 3; }));
  EXPECT_EQ(order, (Lines{"5 at depth 0", "11 at depth 1", "done"}));
  EXPECT_EQ(socket->GetData(), "firstsecond");
}

TEST_F(AsioHostTest, TimerRepeatsWhileEnabledAndRestartsVoidTheQueuedTick) {
  timer->SetInterval(2);
  host.RunFor(20ms);
  EXPECT_EQ(ticks.ticks, 0);
  ticks.onTick = [&] { timer->SetEnabled(ticks.ticks < 3); };
  timer->SetEnabled(true);
  ASSERT_TRUE(Wait([&] { return ticks.ticks == 3; }));
  host.RunFor(20ms);
  EXPECT_EQ(ticks.ticks, 3);

  // A tick already queued is dropped by a disable, a restart and destruction.
  timer->SetInterval(1);
  timer->SetEnabled(true);
  ASSERT_TRUE(QueueTick());
  timer->SetEnabled(false);
  host.DoEvents();
  timer->SetEnabled(true);
  ASSERT_TRUE(QueueTick());
  timer->SetInterval(60000);
  host.DoEvents();
  timer->SetInterval(1);
  ASSERT_TRUE(QueueTick());
  timer.reset();
  host.DoEvents();
  EXPECT_EQ(ticks.ticks, 3);
}

TEST_F(AsioHostTest, TimerReArmedLaterWaitsFromTheLastArmAndEarlierCutsTheWaitShort) {
  // Re-armed every 5 ms for 300 ms, a 200 ms timer never ticks: the wait
  // pending from an earlier arm must not end it.
  timer->SetInterval(200);
  timer->SetEnabled(true);
  for (int i = 0; i < 60; ++i) {
    host.RunFor(5ms);
    timer->SetEnabled(false);
    timer->SetEnabled(true);
  }
  EXPECT_EQ(ticks.ticks, 0);
  ASSERT_TRUE(Wait([&] { return ticks.ticks == 1; }));
  // A minute's wait pending, a 2 ms interval must tick in 2 ms, not a minute.
  timer->SetInterval(60000);
  timer->SetInterval(2);
  ASSERT_TRUE(Wait([&] { return ticks.ticks == 2; }));
}

TEST(QueuedEvent, RunsAndFreesSmallAndLargeCallablesAcrossMoves) {
  auto held = std::make_shared<int>(0);
  std::array<char, 200> large{};
  std::vector<QueuedEvent> events;
  events.emplace_back([held] { ++*held; });
  events.emplace_back([held, large] { *held += 10 + large[0]; });
  events.emplace_back(std::function<void()>([held] { *held += 100; }));
  EXPECT_EQ(held.use_count(), 4);
  std::vector<QueuedEvent> moved;
  for (auto& e : events) moved.push_back(std::move(e));
  for (const auto& e : events) EXPECT_FALSE(e);
  for (auto& e : moved) e();
  EXPECT_EQ(*held, 111);
  EXPECT_EQ(held.use_count(), 4);
  moved.clear();
  events.clear();
  EXPECT_EQ(held.use_count(), 1);
}

}  // namespace
}  // namespace korvex
