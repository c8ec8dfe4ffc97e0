// Each injected fault does what it says, only to the frames it names, and is
// recorded in the transcript; a hostile control (over-long frames, a P01 flood
// never acknowledged, megabytes of garbage) leaves the pad with bounded memory.
#include <gtest/gtest.h>

#include <sstream>

#include "download_frames.h"
#include "emulator/core/frame_parser.h"
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

size_t Count(const std::string& text, const std::string& piece) {
  size_t n = 0;
  for (size_t at = text.find(piece); at != std::string::npos; at = text.find(piece, at + 1)) ++n;
  return n;
}

// STX, text, ETX and the check: 4096 bytes in all is the most a frame may
// have; a download block goes by its length field up to 65535 data bytes.
TEST(Flood, FramesAreTakenUpToTheDocumentedLimit) {
  const struct {
    CheckMode mode;
    std::string frame;
    WireUnit::Kind first;
  } cases[] = {
      {CheckMode::Lrc, Frame("P" + std::string(4092, 'x')), WireUnit::Frame},
      {CheckMode::Lrc, Frame("P" + std::string(4093, 'x')), WireUnit::Garbage},
      {CheckMode::Lrc, Frame("P" + std::string(5004, 'x')), WireUnit::Garbage},
      {CheckMode::Crc, Crc("L" + std::string(4091, 'x')), WireUnit::Frame},
      {CheckMode::Crc, Crc("L" + std::string(4092, 'x')), WireUnit::Garbage},
      {CheckMode::Crc, Block(0, std::string(65535, '\x03')), WireUnit::Frame},
  };
  for (const auto& c : cases) {
    FrameParser parser(c.mode);
    const auto units = parser.Feed(c.frame + kAck);
    ASSERT_FALSE(units.empty()) << c.frame.size();
    EXPECT_EQ(units.front().kind, c.first) << c.frame.size();
    EXPECT_EQ(units.back().kind, WireUnit::Ack) << c.frame.size();

    // In two pieces, appended to a list that already holds a unit: the same units.
    FrameParser again(c.mode);
    std::vector<WireUnit> appended{WireUnit{WireUnit::Ack, kAck, ""}};
    const size_t half = c.frame.size() / 2;
    again.Feed(c.frame.substr(0, half), appended);
    again.Feed(c.frame.substr(half) + kAck, appended);
    ASSERT_EQ(appended.size(), units.size() + 1) << c.frame.size();
    for (size_t i = 0; i < units.size(); ++i) {
      EXPECT_EQ(appended[i + 1].kind, units[i].kind) << c.frame.size();
      EXPECT_EQ(appended[i + 1].bytes, units[i].bytes) << c.frame.size();
    }
  }
}

// Replies the control never acknowledges wait in a bounded queue: one sent,
// kMaxQueuedFrames waiting, the rest dropped and noted. Garbage is noted, but
// the transcript keeps only its last kMaxBytes, and the pad still answers.
TEST(Flood, UnacknowledgedRepliesAndGarbageStayBounded) {
  RawLine line;
  for (int i = 0; i < 1000; ++i) line.SendFrame("P01");
  for (int i = 0; i < 1000; ++i) line.Ack();
  EXPECT_EQ(Count(line.Take(), Frame("P010002")), 1 + Emulator::kMaxQueuedFrames);
  EXPECT_TRUE(line.emu.GetTranscript().Contains("too many frames waiting for their turn"));

  for (int i = 0; i < 24; ++i) line.Send(std::string(1 << 20, 'x'));
  size_t bytes = 0;
  for (const auto& e : line.emu.GetTranscript().Entries()) {
    bytes += sizeof e + e.bytes.size() + e.text.size();
  }
  EXPECT_LE(bytes, Transcript::kMaxBytes);
  EXPECT_GT(line.emu.GetTranscript().Dropped(), 0u);
  line.Take();
  EXPECT_EQ(line.Request("P01"), kAck + Frame("P010002"));
}

}  // namespace
}  // namespace korvex::emu
