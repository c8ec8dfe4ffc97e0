// Which application answers what, and the switches between them.
#include <gtest/gtest.h>

#include "raw_line.h"

namespace korvex::emu {
namespace {

using namespace testing;

struct Probe {
  PadApp app;
  const char* request;
  std::string reply;  // the reply's text; empty: ACK only
  size_t violations;
};

// Each application ignores the other's probe; any other request it does not
// take is ACKed, left unanswered and recorded.
TEST(Applications, EachAnswersOnlyItsOwnRequests) {
  const Probe probes[] = {
      {PadApp::Payment, "P01", "P010002", 0}, {PadApp::Payment, "L00", "", 0},
      {PadApp::Loader, "L00", "KD0", 0},      {PadApp::Loader, "P01", "", 0},
      {PadApp::Payment, "L0302", "", 1},      {PadApp::Payment, "L0202", "", 1},
      {PadApp::Loader, "I07", "", 1},         {PadApp::Loader, "I050", "", 1},
      {PadApp::Loader, "72", "", 1},          {PadApp::Loader, "D0101", "", 1},
  };
  for (const Probe& p : probes) {
    SCOPED_TRACE(p.request);
    RawLine line({}, {p.app, {}, {}});
    const std::string out = line.Request(p.request);
    line.Ack();
    line.Run(10000);
    EXPECT_EQ(out + line.Take(), kAck + (p.reply.empty() ? "" : Frame(p.reply)));
    EXPECT_EQ(line.emu.App(), p.app);
    EXPECT_EQ(line.emu.Violations().size(), p.violations) << line.emu.ViolationSummary();
  }
}

// While an application starts the pad reads nothing at all.
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

}  // namespace
}  // namespace korvex::emu
