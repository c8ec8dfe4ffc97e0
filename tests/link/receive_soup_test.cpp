// Random byte soup through a connected control: every kind of unit, broken
// and torn frames and garbage, in random pieces. A small model of how the
// stream must be cut says which units are eaten and NAKed and what is left in
// the buffer after every piece.
#include <gtest/gtest.h>

#include <random>

#include "harness/pad_link.h"

namespace korvex::testing {
namespace {

uint16_t TestCrc(const std::string& data) {
  uint16_t reg = 0;
  for (unsigned char byte : data) {
    for (int bit = 7; bit >= 0; --bit) {
      const bool feedback = ((reg >> 15) ^ (byte >> bit)) & 1;
      reg = uint16_t(reg << 1) ^ (feedback ? 0x8005 : 0);
    }
  }
  return reg;
}

std::string Check(const std::string& frame, int mode) {
  if (mode == 1) return std::string(1, TestLrc(frame));
  const uint16_t crc = TestCrc(frame.substr(1));
  return {char(crc >> 8), char(crc & 0xFF)};
}

// Units eaten in order ("!" for a NAKed frame) and what waits in the buffer.
struct Cutter {
  int mode;
  std::string buffer;
  std::vector<std::string> tokens;

  void Feed(const std::string& data) {
    buffer += data;
    for (;;) {
      const size_t p = buffer.find_first_of(std::string("\x06\x05\x15\x02\x0F", 5));
      if (p == std::string::npos) return;
      const char c = buffer[p];
      if (c != STX && c != SI) {
        tokens.emplace_back(1, c);
        buffer.erase(0, p + 1);
        continue;
      }
      const size_t end = buffer.find(c == STX ? ETX : SO, p);
      if (end == std::string::npos || buffer.size() < end + 1 + mode) return;
      const std::string unit = buffer.substr(p, end + 1 + mode - p);
      buffer.erase(0, end + 1 + mode);
      const std::string body = unit.substr(0, unit.size() - mode);
      if (unit.substr(body.size()) != Check(body, mode)) {
        tokens.emplace_back("!");
        return;  // the rest waits for the next piece
      }
      tokens.push_back(unit);
    }
  }
};

std::vector<std::string> EatenAndNaked(const Events& events) {
  std::vector<std::string> out;
  const std::string eat = "EatMessage: Message='";
  for (const auto& e : events) {
    if (e.kind == RecordedEvent::Debug && e.text.rfind(eat, 0) == 0) {
      out.push_back(e.text.substr(eat.size(), e.text.size() - eat.size() - 1));
    }
    if (e == DE(5, "Sending NAK")) out.emplace_back("!");
  }
  return out;
}

// Frame codes whose handlers neither write nor leave STATE_EMVAPP_READY.
const char* const kCodes[] = {"C99", "P01", "P00", "KD0", "I02", "I05", "VFI", "D03", "p01", "X"};

std::string Soup(std::mt19937& rng, int mode, int units) {
  auto pick = [&](int n) { return int(rng() % unsigned(n)); };
  auto printable = [&](int n) {
    std::string s;
    while (n-- > 0) s += char(' ' + pick(95));
    return s;
  };
  auto garbage = [&](int n) {
    std::string s;
    while (n-- > 0) {
      const char c = char(pick(256));
      s += c == '.' ? ',' : c;  // keeps "81." (which answers on its own) out
    }
    return s;
  };
  std::string soup;
  for (int i = 0; i < units; ++i) {
    const bool si = pick(4) == 0;
    const std::string text = kCodes[pick(10)] + printable(pick(8) == 0 ? pick(300) : pick(12));
    const std::string frame = std::string(1, si ? SI : STX) + text + (si ? SO : ETX);
    switch (pick(6)) {
      case 0:
      case 1: soup += frame + Check(frame, mode); break;
      case 2: soup += frame + std::string(size_t(mode), '\x7F'); break;  // bad check
      case 3: soup += "\x06\x15\x05\x04"[pick(4)]; break;
      case 4: soup += garbage(1 + pick(16)); break;
      default: soup += frame.substr(0, 1 + size_t(pick(int(frame.size())))); break;  // torn
    }
  }
  return soup;
}

TEST(ReceiveSoup, StreamIsCutExactlyAsTheUnitsDemand) {
  for (uint32_t seed = 1; seed <= 12; ++seed) {
    SCOPED_TRACE(seed);
    const int mode = seed % 2 ? 1 : 2;
    PadLink link;
    link.Connect(STATE_EMVAPP_READY);
    link.control.ChecksumMode = uint8_t(mode);
    std::mt19937 rng(seed);
    const std::string soup = Soup(rng, mode, 300);
    Cutter model{mode, "", {}};
    for (size_t pos = 0; pos < soup.size();) {
      const std::string piece = soup.substr(pos, 1 + rng() % 64);
      pos += piece.size();
      link.Deliver(piece);
      model.Feed(piece);
      ASSERT_EQ(link.control.ReceiveBuffer, model.buffer) << "after byte " << pos;
    }
    EXPECT_EQ(EatenAndNaked(link.events.all), model.tokens);
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
  // Garbage without any unit start is kept whole until a unit starts.
  link.Deliver(std::string(1 << 20, 'x'));
  EXPECT_EQ(link.control.ReceiveBuffer.size(), 1u << 20);
  link.Deliver("\x04\x03" + kEnq);
  EXPECT_EQ(link.control.ReceiveBuffer, "");
}

}  // namespace
}  // namespace korvex::testing
