// The router command, the line rate, framing, ACK/NAK and resends, pacing.
#include <gtest/gtest.h>

#include "emulator/core/frame_parser.h"
#include "emulator/core/serial_line.h"
#include "emulator/core/wire_text.h"
#include "raw_line.h"

namespace korvex::emu {
namespace {

using testing::Frame;
using testing::kAck;
using testing::kEot;
using testing::kNak;
using testing::RawLine;

TEST(RouterFront, CommandIsRecordedEvenWhenSplitAndFollowedByAFrame) {
  RawLine line;
  line.emu.Connect(0);
  const std::string bytes = kSetComm19200 + Frame("P01");
  line.Send(bytes.substr(0, 3));
  line.Send(bytes.substr(3, 19));  // the command's end and the frame's STX and "P"
  line.Send(bytes.substr(22));
  EXPECT_EQ(line.Take(), kAck + Frame("P010002"));
  EXPECT_TRUE(line.emu.GetTranscript().Contains("router command \"SETCOMM19200,n,8,1  \""));
  EXPECT_TRUE(line.emu.Violations().empty()) << line.emu.ViolationSummary();
}

TEST(RouterFront, ConnectionWithoutCommandIsAViolationAndTheLineIsGarbage) {
  RawLine line;
  line.Connect("");
  line.SendFrame("P01");
  EXPECT_EQ(line.Take(), "");  // nothing the pad could read
  ASSERT_FALSE(line.emu.Violations().empty());
  EXPECT_NE(line.emu.Violations()[0].description.find("router command"), std::string::npos);
}

TEST(RouterFront, ParsesOnlyWellFormedCommands) {
  EXPECT_EQ(ParseRouterCommand(kSetComm115200).value_or(SerialSetting{}).baud, 115200);
  EXPECT_EQ(ParseRouterCommand("SETCOMM9600,e,7,2   ").value_or(SerialSetting{}).parity, 'e');
  EXPECT_FALSE(ParseRouterCommand("SETCOMM19200,n,8,1"));    // short
  EXPECT_FALSE(ParseRouterCommand("SETCOMM19200,x,8,1  "));  // parity
  EXPECT_FALSE(ParseRouterCommand("SETCOMM19200,n,8,1 x"));  // trailing junk
}

TEST(LineRate, WrongRateGarblesBothDirections) {
  PadState loader;
  loader.app = PadApp::Loader;
  RawLine line(EmulatorConfig{}, loader, kSetComm19200);
  line.SendFrame("L0302");
  EXPECT_EQ(line.Take(), kAck);
  line.Disconnect();
  line.Connect(kSetComm115200);  // the pad's line runs at 19200
  line.SendFrame("P01");
  line.Run(line.emu.Config().delays.paymentStartMs);
  const std::string out = line.Take();
  ASSERT_EQ(out.size(), Frame("P00").size());  // the P00 went out, unreadable
  for (char c : out) EXPECT_GE(static_cast<unsigned char>(c), 0x80);
  ASSERT_EQ(line.emu.Violations().size(), 1u);
  EXPECT_NE(line.emu.Violations()[0].description.find("115200"), std::string::npos);
}

TEST(Framing, BadCheckIsNakedAndGoodFramesAckedAcrossPieces) {
  RawLine line;
  line.Connect();
  std::string bad = Frame("P01");
  bad.back() ^= 1;
  line.Send("junk" + bad);
  EXPECT_EQ(line.Take(), kNak);
  const std::string good = Frame("P01") + Frame("I050");
  for (char c : good) line.Send(std::string(1, c));
  EXPECT_EQ(line.Take(), kAck + Frame("P010002") + kAck);
  line.Ack();
  EXPECT_EQ(line.Take(), Frame("I050"));
  EXPECT_TRUE(line.emu.Violations().empty()) << line.emu.ViolationSummary();
}

TEST(Framing, ParserReadsDownloadBlocksByLengthInCrcMode) {
  FrameParser parser(CheckMode::Crc);
  std::string body = std::string("W") + '\x00' + '\x03' + std::string(4, '\0') + "\x03\x02\x04";
  std::string block = std::string(1, STX) + body + CheckBytes(body, CheckMode::Crc);
  auto units = parser.Feed(block + Frame("C", CheckMode::Crc));
  ASSERT_EQ(units.size(), 2u);
  EXPECT_EQ(units[0].kind, WireUnit::Frame);
  EXPECT_EQ(units[0].bytes, block);
  EXPECT_EQ(units[1].text, "C");
}

TEST(Resend, NakResendsTheFrameUpToTheLimitThenGivesUp) {
  EmulatorConfig config;
  config.link.resendLimit = 2;
  RawLine line(config);
  line.Connect();
  line.SendFrame("P01");
  EXPECT_EQ(line.Take(), kAck + Frame("P010002"));
  line.Send(kNak);
  line.Send(kNak);
  EXPECT_EQ(line.Take(), Frame("P010002") + Frame("P010002"));
  line.Send(kNak);
  EXPECT_EQ(line.Take(), "");
  EXPECT_TRUE(line.emu.GetTranscript().Contains("given up after 2 resends"));
  line.Run(10000);  // no ACK timer is left behind
  EXPECT_EQ(line.Take(), "");
}

TEST(Resend, MissingAckIsResentAndRecorded) {
  RawLine line;
  line.Connect();
  line.SendFrame("P01");
  line.Take();
  line.Run(line.emu.Config().delays.ackTimeoutMs);
  EXPECT_EQ(line.Take(), Frame("P010002"));
  ASSERT_EQ(line.emu.Violations().size(), 1u);
  EXPECT_EQ(line.emu.Violations()[0].message, "P010002");
  line.Ack();
  line.Run(10000);
  EXPECT_EQ(line.Take(), "");
}

TEST(Resend, EotDropsTheWaitingFrameAndTheNextOneGoes) {
  PadState state;
  state.card.present = true;
  RawLine line(EmulatorConfig{}, state);
  line.Connect();
  line.SendFrame("P01");
  line.SendFrame("I050");
  EXPECT_EQ(line.Take(), kAck + Frame("P010002") + kAck);
  line.Send(kEot);
  EXPECT_EQ(line.Take(), Frame("I051"));
}

TEST(Timing, PacingSendsEveryByteAtTheLineRate) {
  EmulatorConfig config;
  config.link.pace = true;
  RawLine line(config);
  line.Connect();
  line.now = 100;
  line.SendFrame("P01");  // 6 bytes, 521 us each at 19200 baud
  line.Run(3);
  EXPECT_EQ(line.Take(), "");  // the frame is still on the wire
  line.Run(20);
  EXPECT_EQ(line.Take(), kAck + Frame("P010002"));
  // The frame's last byte lands at 103.1 ms (read at 104), the ACK ends at
  // 104.5 ms and the reply's 10 bytes at 109.7 ms.
  EXPECT_EQ(line.pieces.front().first, 105);
  EXPECT_EQ(line.pieces.back().first, 110);
}

TEST(Timing, ProcessingDelayIsPerMessage) {
  EmulatorConfig config;
  config.delays.processingMs = 5;
  config.delays.perMessageMs["P01"] = 50;
  RawLine line(config);
  line.Connect();
  line.SendFrame("P01");
  EXPECT_EQ(line.Take(), kAck);
  line.Run(49);
  EXPECT_EQ(line.Take(), "");
  line.Run(1);
  EXPECT_EQ(line.Take(), Frame("P010002"));
}

TEST(Transcript, DecodesUnitsReadably) {
  EXPECT_EQ(DescribeFrame(Frame("P010002"), CheckMode::Lrc), "<STX>P010002<ETX><LRC 0x50>");
  EXPECT_EQ(DescribeBytes(std::string("D0100") + FS + "\xE4"), "D0100<FS><0xE4>");
  RawLine line;
  line.Connect();
  line.SendFrame("P01");
  const auto& entries = line.emu.GetTranscript().Entries();
  ASSERT_GE(entries.size(), 3u);
  EXPECT_EQ(entries[entries.size() - 2].text, "<ACK>");
  EXPECT_EQ(entries.back().direction, Direction::FromPad);
  EXPECT_EQ(entries.back().bytes, Frame("P010002"));
}

}  // namespace
}  // namespace korvex::emu
