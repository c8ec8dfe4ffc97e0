// The byte stream and the receive buffer: however the bytes are cut into
// arrivals and whatever non-unit bytes surround the units, the control raises
// the same events; and a peer that never ends a unit cannot make the buffer
// hold more than its bound, nor a flood of units the stack grow.
#include <gtest/gtest.h>

#include <random>

#include "harness/pad_link.h"

namespace korvex::testing {
namespace {

// Units whose handling leaves STATE_EMVAPP_READY as it is: unknown codes, the
// other framing, a lone ENQ and NAK, and an EOT that is no unit at all.
std::vector<std::string> StreamUnits() {
  return {WithLrc("C99"),
          std::string(1, SI) + "C98\x0EL",
          kEnq,
          WithLrc("X1" + std::string(40, 'a')),
          kEot,
          kNak,
          WithLrc("C99\x02\x06inside"),
          WithLrc("Z")};
}

std::string Joined(const std::vector<std::string>& units, const std::string& between = "") {
  std::string all;
  for (const auto& u : units) all += between + u;
  return all;
}

// What the control did apart from reporting the pieces as they arrived.
struct Outcome {
  Events events;
  std::string wire;
  bool operator==(const Outcome&) const = default;
};

// Delivers `stream` in pieces of the given sizes (the last repeated).
Outcome Received(const std::string& stream, const std::vector<size_t>& sizes) {
  PadLink link;
  link.Connect(STATE_EMVAPP_READY);
  for (size_t pos = 0, i = 0; pos < stream.size(); ++i) {
    const size_t size = sizes[std::min(i, sizes.size() - 1)];
    link.Deliver(stream.substr(pos, size));
    pos += size;
  }
  EXPECT_EQ(link.control.ReceiveBuffer, "");
  Outcome out{{}, link.Wire()};
  for (auto& e : link.Take()) {
    if (!(e.kind == RecordedEvent::Debug && e.type == 2)) out.events.push_back(e);
  }
  return out;
}

std::vector<size_t> RandomSizes(uint32_t seed, size_t maxSize) {
  std::mt19937 rng(seed);
  std::vector<size_t> sizes(400);
  for (auto& s : sizes) s = 1 + rng() % maxSize;
  return sizes;
}

TEST(ReceiveStream, UnitsGiveTheSameEventsWhateverPiecesTheyArriveIn) {
  const std::string stream = Joined(StreamUnits());
  const Outcome whole = Received(stream, {stream.size()});
  ASSERT_EQ(
      std::ranges::count(whole.events, IE(1, 11, "ProcessMessage: Message='" + WithLrc("Z") + "'")),
      1);
  const std::vector<std::vector<size_t>> cuts = {
      {1}, {2}, {3}, {5}, {11}, {64}, {4, 1}, RandomSizes(1, 8), RandomSizes(2, 30)};
  for (size_t i = 0; i < cuts.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(Received(stream, cuts[i]), whole);
  }
}

TEST(ReceiveStream, BytesThatStartNoUnitChangeNothingBeforeOrBetweenUnits) {
  const auto units = StreamUnits();
  const Outcome clean = Received(Joined(units), {1000});
  // ETX, SO, EOT and FS are control characters but start no unit.
  const std::vector<std::string> garbage = {"z", "\x03\x0E\x04\x1C", "\xFF\x80 ",
                                            std::string(100000, 'q')};
  for (const auto& g : garbage) {
    SCOPED_TRACE(g.substr(0, 8));
    const std::string stream = Joined(units, g) + g;
    EXPECT_EQ(Received(stream, {stream.size()}), clean);
    EXPECT_EQ(Received(stream, RandomSizes(3, 4096)), clean);
  }
}

TEST_F(PadLinkTest, FloodsKeepTheBufferInItsBoundAndTheStackFlat) {
  Connect(STATE_EMVAPP_READY);
  const size_t limit = ReceiveBytes::kLimit;
  // A frame as long as the bound is still a frame, in however many pieces.
  std::string text = "C99" + std::string(limit - 6, 'b');
  const std::string longest = WithLrc(text);
  ASSERT_EQ(longest.size(), limit);
  for (size_t pos = 0; pos < longest.size(); pos += 5000) Deliver(longest.substr(pos, 5000));
  EXPECT_TRUE(events.HasInterface(1, 11));
  EXPECT_EQ(Wire(), kAck);
  EXPECT_EQ(control.ReceiveBuffer, "");
  Forget();

  // One that never ends is dropped once it passes the bound, with a trace;
  // the bytes after it start no unit and are not kept either.
  const std::string flood = kStx + std::string(4 * limit, 'x');
  size_t drops = 0;
  for (size_t pos = 0; pos < flood.size(); pos += 4096) {
    Deliver(flood.substr(pos, 4096));
    ASSERT_LE(control.ReceiveBuffer.size(), limit);
    ASSERT_LE(control.ReceiveBuffer.capacity(), ReceiveBytes::kKeptCapacity);
  }
  for (const auto& e : Take()) {
    if (e.kind == RecordedEvent::Debug && e.type == 8) {
      EXPECT_EQ(e.text, "Receive buffer overflow: " + std::to_string(limit / 4096 * 4096 + 4096) +
                            " bytes dropped");
      ++drops;
    }
  }
  EXPECT_EQ(drops, 1u);
  EXPECT_EQ(Wire(), "");
  // A single huge arrival leaves no more memory behind than the bound allows.
  Deliver(kStx + std::string(3 << 20, 'x'));
  EXPECT_LE(control.ReceiveBuffer.capacity(), ReceiveBytes::kKeptCapacity);
  // The link goes on with the next frame.
  Deliver(WithLrc("C99"));
  EXPECT_EQ(Wire(), kAck);

  // Thousands of units in one arrival are handled without deep recursion.
  Forget();
  Deliver(std::string(50000, ENQ) + WithLrc("C99"));
  EXPECT_EQ(events.all.size(), 1 + 2 * 50000 + 5u);
  EXPECT_EQ(control.ReceiveBuffer, "");

  // Frame starts alone keep the buffer bounded too.
  Forget();
  for (int i = 0; i < 300; ++i) {
    Deliver(std::string(4096, STX));
    ASSERT_LE(control.ReceiveBuffer.size(), limit);
  }
  EXPECT_GE(std::ranges::count_if(
                Take(), [](auto& e) { return e.kind == RecordedEvent::Debug && e.type == 8; }),
            3);
}

}  // namespace
}  // namespace korvex::testing
