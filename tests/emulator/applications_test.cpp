// Which application answers what, and the switches between them.
#include <gtest/gtest.h>

#include "raw_line.h"

namespace korvex::emu {
namespace {

using testing::Frame;
using testing::kAck;
using testing::RawLine;

RawLine Pad(PadApp app) {
  PadState state;
  state.app = app;
  return RawLine(EmulatorConfig{}, state, kSetComm19200);
}

TEST(Applications, EachIgnoresTheOthersProbeWithoutViolation) {
  RawLine payment = Pad(PadApp::Payment);
  payment.SendFrame("L00");
  payment.Run(10000);
  EXPECT_EQ(payment.Take(), kAck);

  RawLine loader = Pad(PadApp::Loader);
  loader.SendFrame("P01");
  loader.Run(10000);
  EXPECT_EQ(loader.Take(), kAck);
  loader.SendFrame("L00");
  EXPECT_EQ(loader.Take(), kAck + Frame("KD0"));
  EXPECT_TRUE(payment.emu.Violations().empty() && loader.emu.Violations().empty());
}

TEST(Applications, L0302StartsThePaymentApplicationWhichSendsP00AfterStartUp) {
  RawLine line = Pad(PadApp::Loader);
  const int64_t startup = line.emu.Config().delays.paymentStartMs;
  line.SendFrame("L0302");
  EXPECT_EQ(line.Take(), kAck);
  line.Run(startup / 2);
  line.SendFrame("P01");  // not read while the application starts
  line.Run(startup / 2 - 1);
  EXPECT_EQ(line.Take(), "");
  line.Run(1);
  EXPECT_EQ(line.Take(), Frame("P00"));
  EXPECT_EQ(line.emu.App(), PadApp::Payment);
  line.Ack();
  line.SendFrame("P01");
  EXPECT_EQ(line.Take(), kAck + Frame("P010002"));
  EXPECT_TRUE(line.emu.Violations().empty()) << line.emu.ViolationSummary();
}

TEST(Applications, I07IsAckedThenTheBootingLoaderIsSilent) {
  EmulatorConfig config;
  config.delays.loaderBootMs = 4000;
  RawLine line(config);
  line.Connect();
  line.SendFrame("I07");
  EXPECT_EQ(line.Take(), kAck);
  for (int i = 0; i < 3; ++i) {  // the control's L00 retries while the loader boots
    line.SendFrame("L00");
    line.Run(1000);
  }
  EXPECT_EQ(line.Take(), "");
  line.Run(1000);
  EXPECT_EQ(line.emu.App(), PadApp::Loader);
  line.SendFrame("L00");
  EXPECT_EQ(line.Take(), kAck + Frame("KD0"));
  EXPECT_TRUE(line.emu.Violations().empty()) << line.emu.ViolationSummary();
}

TEST(Applications, L0202PutsTheLineAt115200WithCrcFrames) {
  RawLine line = Pad(PadApp::Loader);
  line.SendFrame("L0202");
  line.Run(100);
  EXPECT_EQ(line.Take(), kAck);  // acknowledged, no reply
  EXPECT_EQ(line.emu.App(), PadApp::Download);
  line.Disconnect();
  line.Connect(kSetComm115200);
  std::string bad = Frame("C", CheckMode::Crc);
  bad.back() ^= 1;
  line.Send(bad);
  EXPECT_EQ(line.Take(), testing::kNak);
  line.SendFrame("C", CheckMode::Crc);
  EXPECT_EQ(line.Take(), kAck);
  ASSERT_FALSE(line.emu.Violations().empty());  // no transfer handler yet
  EXPECT_EQ(line.emu.Violations().back().message, "C");
}

TEST(Applications, MessagesOfTheOtherApplicationAreViolations) {
  RawLine payment = Pad(PadApp::Payment);
  payment.SendFrame("L0302");
  RawLine loader = Pad(PadApp::Loader);
  loader.SendFrame("D0101");
  loader.SendFrame("I07");
  for (RawLine* line : {&payment, &loader}) {
    line->Run(10000);
    EXPECT_EQ(line->Take().find(STX), std::string::npos);  // ACKs only
  }
  EXPECT_EQ(payment.emu.App(), PadApp::Payment);
  EXPECT_EQ(loader.emu.App(), PadApp::Loader);
  ASSERT_EQ(payment.emu.Violations().size(), 1u);
  ASSERT_EQ(loader.emu.Violations().size(), 2u);
  EXPECT_NE(loader.emu.Violations()[0].description.find("loader"), std::string::npos);
}

}  // namespace
}  // namespace korvex::emu
