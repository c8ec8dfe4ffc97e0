// A hostile control: over-long frames, a P01 flood never acknowledged and
// megabytes of garbage leave the pad with bounded memory.
#include <gtest/gtest.h>

#include "download_frames.h"
#include "emulator/core/frame_parser.h"
#include "raw_line.h"

namespace korvex::emu {
namespace {

using namespace testing;

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
// kMaxQueuedFrames waiting, the rest dropped and noted.
TEST(Flood, UnacknowledgedRepliesWaitInABoundedQueue) {
  RawLine line;
  for (int i = 0; i < 1000; ++i) line.SendFrame("P01");
  for (int i = 0; i < 1000; ++i) line.Ack();
  EXPECT_EQ(Count(line.Take(), Frame("P010002")), 1 + Emulator::kMaxQueuedFrames);
  EXPECT_TRUE(line.emu.GetTranscript().Contains("too many frames waiting for their turn"));
}

// Garbage is noted, but the transcript keeps only its last kMaxBytes and the
// pad still answers afterwards.
TEST(Flood, GarbageKeepsTheTranscriptBounded) {
  RawLine line;
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
