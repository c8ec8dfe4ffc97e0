// Each injected fault does what it says, only to the frames it names, and is
// recorded in the transcript.
#include <gtest/gtest.h>

#include <sstream>

#include "raw_line.h"

namespace korvex::emu {
namespace {

using namespace testing;

struct FaultCase {
  FaultKind kind;
  const char* message;
  int occurrence;
  int count;
  const char* steps;   // frame texts, "+" ACK, "-" NAK, "~ms" a wait
  std::string output;  // all the pad sent
  const char* note;
  bool closes = false;
  int64_t durationMs = 1000;
};

// Every rule fails with status "04", stalls for 1000 ms (unless it says) and corrupts at
// random always.
TEST(Faults, EachKindHitsTheChosenFramesOnly) {
  using enum FaultKind;
  const std::string p01 = Frame("P010002");
  const auto spoilt = [](std::string frame) {
    frame.back() ^= 0x5A;  // a wrong block check
    return frame;
  };
  const FaultCase cases[] = {
      {CorruptCheck, "P01", 2, 2, "P01 + P01 - - +",
       kAck + p01 + kAck + spoilt(p01) + spoilt(p01) + p01, "check spoilt"},
      {CorruptRandom, "I05", 1, 1, "P01 + I050", kAck + p01 + kAck + spoilt(Frame("I050")),
       "check spoilt"},
      {Nak, "P01", 1, 1, "P01 P01", kNak + kAck + p01, "answered with NAK"},
      {DropAck, "P01", 1, 1, "P01", p01, "ACK not sent"},
      {FailStatus, "P01", 1, 1, "P01", kAck + Frame("P010402"), "answering status 04"},
      // I07 has no status reply: it is ignored and the loader never starts.
      {FailStatus, "I07", 1, 1, "I07 ~10000 L00", kAck + kAck, "status 04 cannot be answered"},
      {Stall, "P01", 1, 1, "P01 ~500 I050 ~500 P01", kAck + p01, "stalls for 1000 ms"},
      {Stall, "P01", 1, 1, "P01 ~60000 P01", "", "stalls for good", false, 0},
      {Close, "I050", 2, 1, "I050 + I050", kAck + Frame("I050"), "connection closed", true},
  };
  for (const FaultCase& c : cases) {
    SCOPED_TRACE(c.steps);
    EmulatorConfig config;
    config.faults = {{c.kind, c.message, c.occurrence, c.count, "04", c.durationMs, 1.0}};
    RawLine line(config);
    std::istringstream steps(c.steps);
    for (std::string step; steps >> step;) {
      switch (step[0]) {
        case '+': line.Ack(); break;
        case '-': line.Send(kNak); break;
        case '~': line.Run(std::stoll(step.substr(1))); break;
        default: line.SendFrame(step);
      }
    }
    EXPECT_EQ(line.Take(), c.output);
    EXPECT_TRUE(line.emu.GetTranscript().Contains(c.note)) << line.emu.GetTranscript().Dump();
    EXPECT_EQ(line.emu.CloseRequested(), c.closes);
  }
}

TEST(Faults, ChunkedOutputArrivesInSmallPiecesWithGaps) {
  EmulatorConfig config;
  config.link.chunkSize = 3;
  config.link.chunkGapMs = 2;
  RawLine line(config);
  line.SendFrame("P01");
  line.Run(100);
  EXPECT_EQ(line.Take(), kAck + Frame("P010002"));
  ASSERT_EQ(line.pieces.size(), 5u);  // ACK, then 10 bytes in 3 + 3 + 3 + 1
  EXPECT_EQ(line.pieces[1].second.size(), 3u);
  EXPECT_EQ(line.pieces[4].first - line.pieces[1].first, 6000);
}

}  // namespace
}  // namespace korvex::emu
