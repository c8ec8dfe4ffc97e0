// SimHost in virtual time: scheduling, DoEvents, RunUntil, the timer and the
// simulated connections. Socket events are logged with their virtual time.
#include "korvex/sim_host.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "harness/scripted_peer.h"
#include "harness/temp_dir.h"
#include "host/host_events.h"

namespace korvex {
namespace {

using Lines = std::vector<std::string>;
using Times = std::vector<int64_t>;

TEST(SimHostTime, DoEventsRunsWhatIsDueAndNestsRunUntilIsBounded) {
  SimHost host;
  std::string order;
  host.Schedule(0, [&] {
    order += "A(";
    host.DoEvents();
    order += ")";
  });
  host.Schedule(0, [&] { order += "B"; });
  host.Schedule(1, [&] { order += "C"; });
  host.DoEvents();
  EXPECT_EQ(order, "A(B)");
  EXPECT_EQ(host.NowMs(), 0);

  // Equal times run in the order scheduled; a cancelled call never runs.
  host.Schedule(9, [&] {
    order += "x";
    host.Schedule(1, [&] { order += "e"; });
  });
  host.Schedule(10, [&] { order += "d"; });
  host.Cancel(host.Schedule(10, [&] { order += "!"; }));
  host.RunFor(10);
  EXPECT_EQ(order, "A(B)Cxde");
  EXPECT_TRUE(host.Idle());

  // RunUntil stops at the predicate or the limit.
  int count = 0;
  for (int64_t t : {10, 20, 30}) host.Schedule(t, [&] { ++count; });
  EXPECT_TRUE(host.RunUntil([&] { return count == 2; }, 100));
  EXPECT_EQ(host.NowMs(), 30);
  EXPECT_FALSE(host.RunUntil([&] { return count == 5; }, 50));
  EXPECT_EQ(host.NowMs(), 80);
  EXPECT_EQ(count, 3);

  // Microsecond calls interleave with millisecond ones; NowMs rounds down.
  std::string fine;
  host.ScheduleUs(1500, [&] { fine += "u" + std::to_string(host.NowUs()); });
  host.Schedule(1, [&] { fine += "m" + std::to_string(host.NowMs()); });
  host.ScheduleUs(999, [&] { fine += "v" + std::to_string(host.NowMs()); });
  host.RunFor(2);
  EXPECT_EQ(fine, "v80m81u81500");
  EXPECT_EQ(host.NowUs(), 82000);
}

TEST(SimHostTime, TimerRestartsRepeatsAndStops) {
  SimHost host;
  testing::TickLog log;
  Times ticks;
  auto timer = host.CreateTimer(log);
  log.onTick = [&] { ticks.push_back(host.NowMs()); };
  timer->SetInterval(100);
  host.RunFor(500);
  timer->SetEnabled(true);  // 500: counts from here
  host.RunFor(250);
  timer->SetInterval(100);  // 750: restarts the countdown
  host.RunFor(150);
  timer->SetEnabled(true);  // 900, already on: no restart
  host.RunFor(100);
  timer->SetEnabled(false);  // 1000
  host.RunFor(1000);
  timer->SetEnabled(true);  // 2000
  host.RunFor(100);
  timer->SetInterval(0);
  host.RunFor(1000);
  EXPECT_EQ(ticks, (Times{600, 700, 850, 950, 2100}));

  // Changes made inside the tick take effect.
  log.onTick = [&] {
    ticks.push_back(host.NowMs());
    if (ticks.size() == 7) timer->SetInterval(30);
    if (ticks.size() == 9) timer->SetEnabled(false);
  };
  timer->SetInterval(10);  // 3100
  host.RunFor(1000);
  EXPECT_EQ(ticks, (Times{600, 700, 850, 950, 2100, 3110, 3120, 3150, 3180}));
  timer->SetEnabled(true);
  timer.reset();
  host.RunFor(100);
  EXPECT_EQ(ticks.size(), 9u);
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

  SimHost host;
  testing::ScriptedPeer pad;
  testing::SocketLog log;
  std::unique_ptr<Socket> socket = host.CreateSocket(log);
};

TEST_F(SimNetworkTest, ConnectsToAListenerOnly) {
  host.connectDelayMs = 3;
  Connect("router", 4001);
  EXPECT_EQ(socket->State(), sckConnecting);
  host.RunFor(3);
  socket->Connect();  // already connected
  host.RunFor(1);

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

std::string Describe(const SimWireRecord& r) {
  const char* kind[] = {"data", "open", "close"};
  return std::to_string(r.timeMs) + (r.from == SimSide::Control ? " control " : " peer ") +
         kind[r.kind] + " #" + std::to_string(r.connection) + " " + r.bytes;
}

// The wire log keeps what was written, when it was written.
TEST_F(SimNetworkTest, LatencyChunkingCorruptionAndTheWireLog) {
  host.toPeer.latencyMs = 7;
  host.toControl = {.latencyMs = 4, .chunkSize = 3, .chunkGapMs = 2, .corruptOffsets = {1, 9}};
  pad.onData = [&](SimConnection& c, const std::string&) { c.Send("R"); };
  Connect("router", 4001);
  host.RunFor(1);
  socket->SendData("hello");
  pad.Send("abcdefgh");
  pad.Send("ij");  // queued behind the pieces of the first write
  host.RunFor(20);
  EXPECT_EQ(log.lines,
            (Lines{"1 connect", "5 data 3", "7 data 6", "9 data 8", "9 data 10", "12 data 11"}));
  EXPECT_EQ(socket->GetData(), "a\x9D" + std::string("cdefghi\x95R"));
  socket->Close();
  Lines wire;
  for (const auto& r : host.WireLog()) wire.push_back(Describe(r));
  EXPECT_EQ(wire, (Lines{"1 control open #1 ", "1 control data #1 hello", "1 peer data #1 abcdefgh",
                         "1 peer data #1 ij", "8 peer data #1 R", "21 control close #1 "}));

  // Corruption offsets count from the start of each connection.
  Connect("router", 4001);
  host.RunFor(1);
  pad.Send("abc");
  host.RunFor(10);
  EXPECT_EQ(socket->GetData(), "a\x9D" + std::string("c"));
}

TEST_F(SimNetworkTest, PeerCloseArrivesBehindTheDataInFlight) {
  host.toControl = {.latencyMs = 5, .chunkSize = 2, .chunkGapMs = 3, .corruptOffsets = {}};
  Connect("router", 4001);
  host.RunFor(1);
  pad.Send("wxyz");
  pad.connection->Close();
  host.RunFor(20);
  EXPECT_EQ(log.lines, (Lines{"1 connect", "6 data 2", "9 data 4", "9 close"}));
  EXPECT_EQ(socket->State(), sckClosing);

  socket->SendData("late");
  socket->Close();
  pad.connection->Send("ignored");  // the handle outlives its connection
  host.RunFor(20);
  EXPECT_EQ(pad.received, "");
  EXPECT_EQ(pad.closes, 0);  // the pad closed first and hears nothing more
}

// One host reused for independent runs: nothing in flight outlives
// DropScheduled while time runs on; the log can be saved, or not kept.
TEST_F(SimNetworkTest, ReuseDropsWhatIsInFlightAndTheLogIsSavedOrOff) {
  Connect("router", 4001);
  host.RunFor(1);
  socket->SendData("ab");
  pad.Send("\x02z");
  host.DropScheduled();
  host.RunFor(10);
  EXPECT_EQ(pad.received, "");
  EXPECT_EQ(socket->GetData(), "");
  EXPECT_EQ(host.NowMs(), 11);

  testing::TempDir dir;
  host.SaveWireLog(dir.path());
  std::vector<std::string> files;
  for (const auto& f : std::filesystem::directory_iterator(dir.path()))
    files.push_back(f.path().string());
  ASSERT_EQ(files.size(), 1u);
  std::ifstream in(files[0]);
  Lines saved;
  for (std::string line; std::getline(in, line);) saved.push_back(line);
  EXPECT_EQ(saved, (Lines{"1000 c o ", "1000 c d 6162", "1000 p d 027a"}));

  host.ClearWireLog();
  host.keepWireLog = false;
  socket->SendData("c");
  host.RunFor(2);
  EXPECT_EQ(pad.received, "c");
  EXPECT_TRUE(host.WireLog().empty());
}

}  // namespace
}  // namespace korvex
