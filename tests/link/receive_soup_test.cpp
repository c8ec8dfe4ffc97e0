// Random byte soup through a connected control: good frames, frames with a bad
// check, lone control characters and garbage, in random pieces. Nothing breaks,
// the buffer stays small, and the good frames are dispatched once, in order.
#include <gtest/gtest.h>

#include <random>

#include "harness/pad_link.h"

namespace korvex::testing {
namespace {

// Frame codes whose handlers neither write nor leave STATE_EMVAPP_READY.
const char* const kCodes[] = {"C99", "P01", "P00", "KD0", "I02", "I05", "VFI", "D03", "p01", "X"};

TEST(ReceiveSoup, GoodFramesComeThroughInOrderWhateverSurroundsThem) {
  const std::string dispatch = "ProcessMessage: Message='";
  for (uint32_t seed = 1; seed <= 12; ++seed) {
    SCOPED_TRACE(seed);
    PadLink link;
    link.Connect(STATE_EMVAPP_READY);
    std::mt19937 rng(seed);
    auto pick = [&](int n) { return int(rng() % unsigned(n)); };
    std::string soup;
    std::vector<std::string> good;
    int bad = 0;
    for (int unit = 0; unit < 300; ++unit) {
      const bool si = pick(4) == 0;
      std::string frame = std::string(1, si ? SI : STX) + kCodes[pick(10)];
      for (int n = pick(8) == 0 ? pick(300) : pick(12); n > 0; --n) frame += char(' ' + pick(95));
      frame += si ? SO : ETX;
      frame += '\0';
      for (size_t i = 1; i + 1 < frame.size(); ++i) frame.back() ^= frame[i];  // the LRC
      switch (pick(5)) {
        case 0: frame.back() ^= 1, ++bad; break;
        case 1: frame = "\x06\x15\x05\x04"[pick(4)]; break;
        case 2:  // garbage, never a frame start
          frame.clear();
          for (int n = 1 + pick(16); n > 0; --n) frame += char(pick(256) | 0x10);
          break;
        default: good.push_back(frame);
      }
      soup += frame;
    }
    for (size_t pos = 0, size = 0; pos < soup.size(); pos += size) {
      size = 1 + rng() % 64;
      link.Deliver(soup.substr(pos, size));
      ASSERT_LE(link.control.ReceiveBuffer.size(), 1000u);
    }
    // Units behind a bad frame wait for the next arrival.
    for (int i = 0; i < 100 && !link.control.ReceiveBuffer.empty(); ++i) link.Deliver(kEnq);
    std::vector<std::string> dispatched;
    for (const auto& e : link.events.all) {
      if (e.kind != RecordedEvent::Debug || !e.text.starts_with(dispatch)) continue;
      dispatched.push_back(e.text.substr(dispatch.size(), e.text.size() - dispatch.size() - 1));
    }
    EXPECT_EQ(dispatched, good);
    EXPECT_EQ(std::ranges::count(link.events.all, DE(5, "Sending NAK")), bad);
    EXPECT_EQ(link.control.ReceiveBuffer, "");
    EXPECT_EQ(link.control.fState, STATE_EMVAPP_READY);
    EXPECT_EQ(link.control.ReceiveGuard, 0);
    EXPECT_EQ(link.Wire().find_first_not_of(std::string("\x06\x15\x04", 3)), std::string::npos);
  }
}

TEST(ReceiveSoup, FloodsAreDrainedWithoutDeepRecursion) {
  PadLink link;
  link.Connect(STATE_EMVAPP_READY);
  link.Deliver(std::string(50000, ENQ) + WithLrc("C99"));
  EXPECT_EQ(link.events.all.size(), 1 + 2 * 50000 + 5u);
  EXPECT_EQ(link.control.ReceiveBuffer, "");
  // Garbage without any unit start is not kept: it could only be dropped later.
  link.Deliver(std::string(1 << 20, 'x'));
  EXPECT_EQ(link.control.ReceiveBuffer, "");
  link.Deliver("\x04\x03" + kEnq);
  EXPECT_EQ(link.events.all.back(), DE(8, "<ENQ> received at State=111"));
}

}  // namespace
}  // namespace korvex::testing
