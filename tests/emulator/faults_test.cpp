// Each injected fault does what it says, and only to the frames it names.
#include <gtest/gtest.h>

#include "raw_line.h"

namespace korvex::emu {
namespace {

using testing::Frame;
using testing::kAck;
using testing::kNak;
using testing::RawLine;
using testing::Rule;

RawLine WithFaults(std::vector<FaultRule> faults, LinkSettings link = {}) {
  EmulatorConfig config;
  config.faults = std::move(faults);
  config.link = link;
  return RawLine(config, PadState{}, kSetComm19200);
}

std::string Spoilt(const std::string& text) {
  std::string f = Frame(text);
  f.back() ^= 0x5A;
  return f;
}

TEST(Faults, CorruptCheckSpoilsTheChosenTransmissionsOnly) {
  FaultRule rule = Rule(FaultKind::CorruptCheck, "P01", 2, 2);
  RawLine line = WithFaults({rule});
  line.SendFrame("P01");
  line.Ack();
  EXPECT_EQ(line.Take(), kAck + Frame("P010002"));
  line.SendFrame("P01");
  line.Send(kNak);
  line.Send(kNak);
  line.Ack();
  EXPECT_EQ(line.Take(), kAck + Spoilt("P010002") + Spoilt("P010002") + Frame("P010002"));
}

TEST(Faults, CorruptRandomFollowsItsProbability) {
  FaultRule always = Rule(FaultKind::CorruptRandom, "I05");
  always.probability = 1.0;
  RawLine line = WithFaults({always});
  line.SendFrame("P01");
  line.Ack();
  line.SendFrame("I050");
  EXPECT_EQ(line.Take(), kAck + Frame("P010002") + kAck + Spoilt("I050"));
}

TEST(Faults, NakRefusesTheChosenIncomingFrame) {
  RawLine line = WithFaults({Rule(FaultKind::Nak, "P01", 1, 1)});
  line.SendFrame("P01");
  EXPECT_EQ(line.Take(), kNak);
  line.SendFrame("P01");
  EXPECT_EQ(line.Take(), kAck + Frame("P010002"));
}

TEST(Faults, DropAckStillHandlesTheRequest) {
  RawLine line = WithFaults({Rule(FaultKind::DropAck, "P01")});
  line.SendFrame("P01");
  EXPECT_EQ(line.Take(), Frame("P010002"));
}

TEST(Faults, FailStatusAnswersTheChosenStatusWithoutActing) {
  FaultRule rule = Rule(FaultKind::FailStatus, "I07");
  rule.status = "05";
  FaultRule p01 = Rule(FaultKind::FailStatus, "P01");
  p01.status = "04";
  RawLine line = WithFaults({rule, p01});
  line.SendFrame("P01");
  line.Ack();
  EXPECT_EQ(line.Take(), kAck + Frame("P010402"));
  line.SendFrame("I07");  // no status reply exists: ignored, and said so
  EXPECT_EQ(line.Take(), kAck);
  EXPECT_EQ(line.emu.App(), PadApp::Payment);
  EXPECT_TRUE(line.emu.GetTranscript().Contains("cannot be answered"));
}

TEST(Faults, StallSilencesThePadForItsDuration) {
  FaultRule rule = Rule(FaultKind::Stall, "P01");
  rule.durationMs = 1000;
  RawLine line = WithFaults({rule});
  line.SendFrame("P01");
  line.Run(500);
  line.SendFrame("I050");
  EXPECT_EQ(line.Take(), "");
  line.Run(500);
  line.SendFrame("P01");
  EXPECT_EQ(line.Take(), kAck + Frame("P010002"));
}

TEST(Faults, CloseEndsTheConnectionAtTheChosenStep) {
  RawLine line = WithFaults({Rule(FaultKind::Close, "I050", 2)});
  line.SendFrame("I050");
  line.Ack();
  EXPECT_FALSE(line.emu.CloseRequested());
  line.SendFrame("I050");
  EXPECT_TRUE(line.emu.CloseRequested());
  EXPECT_EQ(line.Take(), kAck + Frame("I050"));  // nothing for the second
}

TEST(Faults, ChunkedOutputArrivesInSmallPiecesWithGaps) {
  LinkSettings link;
  link.chunkSize = 3;
  link.chunkGapMs = 2;
  RawLine line = WithFaults({}, link);
  line.SendFrame("P01");
  line.Run(100);
  EXPECT_EQ(line.Take(), kAck + Frame("P010002"));
  ASSERT_EQ(line.pieces.size(), 5u);  // ACK, then 10 bytes in 3 + 3 + 3 + 1
  EXPECT_EQ(line.pieces[1].second.size(), 3u);
  EXPECT_EQ(line.pieces[4].first - line.pieces[1].first, 6);
}

}  // namespace
}  // namespace korvex::emu
