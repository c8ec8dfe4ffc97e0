// "72", the card reader status and the wait for the card's removal.
#include <gtest/gtest.h>

#include "raw_line.h"

namespace korvex::emu {
namespace {

using namespace testing;

TEST(Reset, I02IsAnsweredOnceTheCardIsTakenOut) {
  RawLine line({}, {PadApp::Payment, {true, 2500}, {}});
  line.SendFrame("I02");
  line.Run(2499);
  EXPECT_EQ(line.Take(), kAck);
  line.Run(1);
  EXPECT_EQ(line.Take(), Frame("I02"));
  line.Ack();
  EXPECT_EQ(line.Request("I050"), kAck + Frame("I050"));  // the card is out now
  EXPECT_TRUE(line.emu.Violations().empty()) << line.emu.ViolationSummary();
}

TEST(Reset, SeventyTwoIsNeverAnsweredAndAbandonsTheWaitForRemoval) {
  RawLine line({}, {PadApp::Payment, {true, 2500}, {}});
  line.SendFrame("I02");
  line.Run(100);
  line.SendFrame("72");
  line.Run(10000);
  EXPECT_EQ(line.Take(), kAck + kAck);
  EXPECT_TRUE(line.emu.Pad().Card().present);
  EXPECT_TRUE(line.emu.Violations().empty()) << line.emu.ViolationSummary();
}

}  // namespace
}  // namespace korvex::emu
