// The bridge's output queue and call gate, without a process: what is dropped,
// what never is, and the bounds, by their counters.
#include <gtest/gtest.h>

#include <future>
#include <thread>

#include "cli/call_gate.h"
#include "cli/output_queue.h"

namespace korvex::cli {
namespace {

std::vector<std::string> Drain(OutputQueue& queue) {
  queue.Close();
  std::vector<std::string> lines;
  while (auto line = queue.Pop()) lines.push_back(line->text);
  return lines;
}

// With nobody writing, DebugEvents stop at the bound and are counted; answers and
// InterfaceEvents are always queued. Once there is room again one notice stands where the
// DebugEvents were dropped, and one more at the end for those dropped since.
TEST(OutputQueueTest, DropsOnlyDebugEventsPastTheBoundAndSaysHowManyWhereTheyWere) {
  OutputQueue queue(10);
  queue.Push("d1.......", LineKind::kDebug);  // 10 bytes with its '\n': the bound is reached
  for (int i = 0; i < 3; ++i) queue.Push("dropped", LineKind::kDebug);
  queue.Push("answer", LineKind::kAnswer);
  queue.Push("event", LineKind::kEvent);
  EXPECT_EQ(queue.Count().dropped, 3u);
  EXPECT_EQ(queue.Pop()->text, "d1.......");
  EXPECT_EQ(queue.Pop()->text, "answer");  // 6 bytes left: room again
  queue.Push("d2", LineKind::kDebug);
  queue.Push("d3.......", LineKind::kDebug);  // dropped: "event", the notice and "d2" wait
  EXPECT_EQ(Drain(queue), (std::vector<std::string>{"event", DropNotice(3), "d2", DropNotice(1)}));
  EXPECT_EQ(queue.Count().dropped, 4u);
  EXPECT_EQ(queue.Count().queuedBytes, 0u);
  // The most waiting, at the close: "event", both notices and "d2", each with its '\n'.
  EXPECT_EQ(queue.Count().peakBytes, 6 + 2 * (DropNotice(3).size() + 1) + 3);
}

TEST(OutputQueueTest, AClosedQueueTakesNothingAndAnEmptyOneEndsTheWriter) {
  OutputQueue queue(10);
  std::thread writer([&] { EXPECT_FALSE(queue.Pop().has_value()); });
  queue.Close();
  writer.join();
  queue.Push("late", LineKind::kAnswer);
  EXPECT_TRUE(Drain(queue).empty());
}

// The reader takes a slot per line and waits while all are taken; a written answer frees
// one, and cancelling ends the wait without a slot.
TEST(CallGateTest, WaitsWhileEverySlotIsTakenUntilOneIsFreedOrTheBridgeStops) {
  CallGate gate(2);
  ASSERT_TRUE(gate.Acquire());
  ASSERT_TRUE(gate.Acquire());
  std::vector<bool> got;
  std::promise<void> first;
  std::thread reader([&] {
    got.push_back(gate.Acquire());  // waits for the Release below
    first.set_value();
    got.push_back(gate.Acquire());  // waits until cancelled
  });
  gate.Release();
  first.get_future().wait();
  gate.Cancel();
  reader.join();
  EXPECT_EQ(got, (std::vector<bool>{true, false}));
  EXPECT_EQ(gate.Peak(), 2u);
  EXPECT_FALSE(gate.Acquire());
}

}  // namespace
}  // namespace korvex::cli
