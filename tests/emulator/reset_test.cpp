// "72", the card reader status and the wait for the card's removal.
#include <gtest/gtest.h>

#include "raw_line.h"

namespace korvex::emu {
namespace {

using namespace testing;

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
