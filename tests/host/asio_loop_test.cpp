// AsioHost's timer and loop. Assertions are on counts and order; durations
// only bound the waits.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "host/host_events.h"
#include "korvex/asio_host.h"

namespace korvex {
namespace {

using namespace std::chrono_literals;
using testing::TickLog;

constexpr auto kMax = 5s;

class AsioTimerTest : public ::testing::Test {
 protected:
  // Lets a 1 ms timer expire and Asio queue its tick, without delivering it.
  bool QueueTick() {
    const auto until = std::chrono::steady_clock::now() + kMax;
    while (host.PendingEvents() == 0 && std::chrono::steady_clock::now() < until) {
      std::this_thread::sleep_for(2ms);
      host.Context().poll();
    }
    return host.PendingEvents() > 0;
  }

  AsioHost host;
  TickLog log;
  std::unique_ptr<Timer> timer = host.CreateTimer(log);
};

TEST_F(AsioTimerTest, RepeatsOnlyWhileEnabledWithAnInterval) {
  timer->SetInterval(2);
  host.RunFor(20ms);
  EXPECT_EQ(log.ticks, 0);

  timer->SetEnabled(true);
  ASSERT_TRUE(host.RunUntil([&] { return log.ticks >= 3; }, kMax));
  timer->SetEnabled(false);
  const int seen = log.ticks;
  host.RunFor(20ms);
  EXPECT_EQ(log.ticks, seen);

  // Stopped from inside its own tick.
  log.onTick = [&] { timer->SetEnabled(false); };
  timer->SetEnabled(true);
  ASSERT_TRUE(host.RunUntil([&] { return log.ticks == seen + 1; }, kMax));
  host.RunFor(20ms);
  EXPECT_EQ(log.ticks, seen + 1);

  log.onTick = nullptr;
  timer->SetInterval(0);
  timer->SetEnabled(true);
  host.RunFor(20ms);
  EXPECT_EQ(log.ticks, seen + 1);
  timer->SetInterval(1);  // an enabled timer starts counting
  EXPECT_TRUE(host.RunUntil([&] { return log.ticks > seen + 1; }, kMax));
}

TEST_F(AsioTimerTest, QueuedTickIsVoidedByDisableRestartAndDestruction) {
  timer->SetInterval(1);
  timer->SetEnabled(true);
  ASSERT_TRUE(QueueTick());
  timer->SetEnabled(false);
  host.DoEvents();
  EXPECT_EQ(log.ticks, 0);

  timer->SetEnabled(true);
  ASSERT_TRUE(QueueTick());
  timer->SetInterval(60000);  // restarts the countdown
  host.DoEvents();
  EXPECT_EQ(log.ticks, 0);

  timer->SetInterval(1);
  ASSERT_TRUE(QueueTick());
  timer.reset();
  host.DoEvents();
  EXPECT_EQ(log.ticks, 0);
}

TEST_F(AsioTimerTest, TicksWaitingForTheLoopCoalesce) {
  timer->SetInterval(1);
  timer->SetEnabled(true);
  ASSERT_TRUE(QueueTick());
  std::this_thread::sleep_for(10ms);
  host.Context().poll();
  host.DoEvents();
  EXPECT_EQ(log.ticks, 1);
}

TEST(AsioLoopTest, PostFromAnotherThreadAndStop) {
  AsioHost host;
  bool first = false;
  bool second = false;
  std::thread poster([&] {
    host.Post([&] {
      first = true;
      host.Stop();
    });
    host.Post([&] { second = true; });
  });
  poster.join();

  host.RunFor(kMax);  // returns at the Stop, before the second event
  EXPECT_TRUE(first);
  EXPECT_FALSE(second);
  EXPECT_TRUE(host.RunOne(kMax));
  EXPECT_TRUE(second);
  EXPECT_FALSE(host.RunOne(1ms));
}

}  // namespace
}  // namespace korvex
