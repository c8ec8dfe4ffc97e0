// The switches between the applications, "72" and the wait for the card's
// removal. Which application answers what is pinned through the control's
// detection in tests/init.
#include <gtest/gtest.h>

#include "raw_line.h"

namespace korvex::emu {
namespace {

using namespace testing;

// While an application starts the pad reads nothing at all; the control's
// detection pins only the loader's boot.
TEST(Applications, I07BootsTheLoaderAndL0302StartsThePaymentApplicationWithP00) {
  RawLine line;
  const Delays& delays = line.emu.Config().delays;
  EXPECT_EQ(line.Request("I07"), kAck);
  line.Run(delays.loaderBootMs - 1);
  EXPECT_EQ(line.Request("L00"), "");
  line.Run(1);
  EXPECT_EQ(line.Request("L00"), kAck + Frame("KD0"));
  line.Ack();
  EXPECT_EQ(line.Request("L0302"), kAck);
  line.Run(delays.paymentStartMs - 1);
  EXPECT_EQ(line.Request("P01"), "");
  line.Run(1);
  EXPECT_EQ(line.Take(), Frame("P00"));
  line.Ack();
  EXPECT_EQ(line.Request("P01"), kAck + Frame("P010002"));
  EXPECT_TRUE(line.emu.Violations().empty()) << line.emu.ViolationSummary();
}

// "I02" is answered once the card is out (2500 ms here); a "72" meanwhile is
// never answered and abandons the wait.
TEST(Reset, I02IsAnsweredOnceTheCardIsTakenOutUnless72Comes) {
  for (const bool reset : {false, true}) {
    RawLine line({}, {PadApp::Payment, {true, 2500}, {}});
    line.SendFrame("I02");
    line.Run(100);
    if (reset) line.SendFrame("72");
    line.Run(2399);
    EXPECT_EQ(line.Take(), reset ? kAck + kAck : kAck);
    line.Run(1);
    EXPECT_EQ(line.Take(), reset ? "" : Frame("I02"));
    if (!reset) line.Ack();
    line.Run(10000);
    EXPECT_EQ(line.Take(), "");
    EXPECT_EQ(line.emu.Pad().Card().present, reset);
    EXPECT_TRUE(line.emu.Violations().empty()) << line.emu.ViolationSummary();
  }
}

}  // namespace
}  // namespace korvex::emu
