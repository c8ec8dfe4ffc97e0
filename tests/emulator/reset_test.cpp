// "72", the card reader status and the wait for the card's removal.
#include <gtest/gtest.h>

#include "raw_line.h"

namespace korvex::emu {
namespace {

using testing::Frame;
using testing::kAck;
using testing::RawLine;

RawLine PadWithCard(bool present, int64_t removalDelayMs = 2500) {
  PadState state;
  state.card = {present, removalDelayMs};
  return RawLine(EmulatorConfig{}, state, kSetComm19200);
}

TEST(Reset, SeventyTwoIsAckedAndNeverAnswered) {
  RawLine line = PadWithCard(false);
  line.SendFrame("72");
  line.Run(10000);
  EXPECT_EQ(line.Take(), kAck);
  EXPECT_TRUE(line.emu.Violations().empty());
}

TEST(Reset, I05ReportsTheCardReader) {
  RawLine empty = PadWithCard(false);
  empty.SendFrame("I050");
  EXPECT_EQ(empty.Take(), kAck + Frame("I050"));
  RawLine full = PadWithCard(true);
  full.SendFrame("I050");
  EXPECT_EQ(full.Take(), kAck + Frame("I051"));
}

TEST(Reset, I02IsAnsweredWhenTheReaderIsEmpty) {
  RawLine empty = PadWithCard(false);
  empty.SendFrame("I02");
  EXPECT_EQ(empty.Take(), kAck + Frame("I02"));

  RawLine full = PadWithCard(true, 2500);
  full.SendFrame("I02");
  full.Run(2499);
  EXPECT_EQ(full.Take(), kAck);
  full.Run(1);
  EXPECT_EQ(full.Take(), Frame("I02"));
  full.Ack();
  full.SendFrame("I050");
  EXPECT_EQ(full.Take(), kAck + Frame("I050"));  // the card is out now
  EXPECT_TRUE(full.emu.Violations().empty()) << full.emu.ViolationSummary();
}

TEST(Reset, SeventyTwoAbandonsTheWaitForRemoval) {
  RawLine line = PadWithCard(true, 2500);
  line.SendFrame("I02");
  line.Run(100);
  line.SendFrame("72");
  line.Run(10000);
  EXPECT_EQ(line.Take(), kAck + kAck);
  EXPECT_TRUE(line.emu.Pad().Card().present);
}

TEST(Reset, MalformedResetRequestsAreViolations) {
  RawLine line = PadWithCard(true);
  line.SendFrame("I051");
  line.SendFrame("72X");
  line.Run(100);
  EXPECT_EQ(line.Take(), kAck + kAck);  // not answered
  ASSERT_EQ(line.emu.Violations().size(), 2u);
  EXPECT_EQ(line.emu.Violations()[0].message, "I051");
}

}  // namespace
}  // namespace korvex::emu
