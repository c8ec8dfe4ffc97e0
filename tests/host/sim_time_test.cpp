// SimHost's virtual time: scheduling order, DoEvents, RunUntil and the timer.
#include <gtest/gtest.h>

#include "host/host_events.h"
#include "korvex/sim_host.h"

namespace korvex {
namespace {

using testing::TickLog;
using Times = std::vector<int64_t>;

TEST(SimSchedulingTest, EqualTimesRunInScheduleOrderAndCancelRemoves) {
  SimHost host;
  std::string order;
  host.Schedule(10, [&] { order += 'a'; });
  const uint64_t b = host.Schedule(10, [&] { order += 'b'; });
  host.Schedule(5, [&] {
    order += 'x';
    host.Schedule(5, [&] { order += 'd'; });  // also due at 10, after the others
  });
  host.Schedule(10, [&] { order += 'c'; });
  host.Cancel(b);
  host.Cancel(b);
  host.RunFor(10);
  EXPECT_EQ(order, "xacd");
  EXPECT_EQ(host.NowMs(), 10);
  EXPECT_TRUE(host.Idle());
}

TEST(SimSchedulingTest, DoEventsRunsWhatIsDueNowAndNests) {
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
  EXPECT_FALSE(host.Idle());
}

TEST(SimSchedulingTest, RunUntilStopsAtThePredicateOrTheLimit) {
  SimHost host;
  int count = 0;
  for (int64_t t : {10, 20, 30}) host.Schedule(t, [&] { ++count; });
  EXPECT_TRUE(host.RunUntil([&] { return count == 2; }, 100));
  EXPECT_EQ(host.NowMs(), 20);
  EXPECT_FALSE(host.RunUntil([&] { return count == 5; }, 50));
  EXPECT_EQ(host.NowMs(), 70);
  EXPECT_EQ(count, 3);
}

TEST(SimSchedulingTest, NestedRunForNeverTurnsTimeBack) {
  SimHost host;
  Times seen;
  host.Schedule(10, [&] { host.RunFor(100); });
  host.Schedule(50, [&] { seen.push_back(host.NowMs()); });
  host.RunFor(20);
  host.Schedule(0, [&] { seen.push_back(host.NowMs()); });
  host.RunFor(0);
  EXPECT_EQ(seen, (Times{50, 110}));
}

class SimTimerTest : public ::testing::Test {
 protected:
  SimTimerTest() {
    log.onTick = [&] { ticks.push_back(host.NowMs()); };
  }
  SimHost host;
  TickLog log;
  Times ticks;
  std::unique_ptr<Timer> timer = host.CreateTimer(log);
};

TEST_F(SimTimerTest, RestartsRepeatsAndStops) {
  timer->SetInterval(100);
  host.RunFor(500);
  timer->SetEnabled(true);  // 500: counts from here
  host.RunFor(250);
  timer->SetInterval(100);  // 750: restarts the countdown
  host.RunFor(100);
  timer->SetEnabled(true);  // already on: no restart
  host.RunFor(150);
  timer->SetEnabled(false);  // 1000
  host.RunFor(1000);
  timer->SetEnabled(true);  // 2000
  host.RunFor(100);
  EXPECT_EQ(ticks, (Times{600, 700, 850, 950, 2100}));

  timer->SetInterval(0);
  host.RunFor(1000);
  EXPECT_EQ(ticks.size(), 5u);
  EXPECT_TRUE(host.Idle());

  timer->SetInterval(10);
  timer.reset();
  host.RunFor(100);
  EXPECT_EQ(ticks.size(), 5u);
}

TEST_F(SimTimerTest, ChangesInsideTheTickTakeEffect) {
  log.onTick = [&] {
    ticks.push_back(host.NowMs());
    if (ticks.size() == 2) timer->SetInterval(30);
    if (ticks.size() == 4) timer->SetEnabled(false);
  };
  timer->SetInterval(10);
  timer->SetEnabled(true);
  host.RunFor(1000);
  EXPECT_EQ(ticks, (Times{10, 20, 50, 80}));
}

}  // namespace
}  // namespace korvex
