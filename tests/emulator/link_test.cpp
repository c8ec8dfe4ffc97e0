// The router command, the line rate, framing, ACK/NAK and resends, pacing,
// the transcript's readable units, and the switches between the applications,
// "72" and the wait for the card's removal. Which application answers what is
// pinned through the control's detection in tests/init.
#include <gtest/gtest.h>

#include "emulator/core/transcript.h"
#include "emulator/core/wire_text.h"
#include "raw_line.h"

namespace korvex::emu {
namespace {

using namespace testing;

TEST(RouterFront, CommandIsParsedAndRecordedEvenWhenSplitAndItsAbsenceIsAViolation) {
  RawLine line({}, {}, "");
  const std::string bytes = kSetComm19200 + Frame("P01");
  line.Send(bytes.substr(0, 3));
  line.Send(bytes.substr(3, 19));  // the command's end and the frame's STX and "P"
  line.Send(bytes.substr(22));
  EXPECT_EQ(line.Take(), kAck + Frame("P010002"));
  EXPECT_TRUE(line.emu.GetTranscript().Contains("router command \"SETCOMM19200,n,8,1  \""));
  EXPECT_TRUE(line.emu.Violations().empty()) << line.emu.ViolationSummary();

  RawLine bare({}, {}, "");
  EXPECT_EQ(bare.Request("P01"), "");  // nothing the pad could read at 9600 baud
  ASSERT_FALSE(bare.emu.Violations().empty());
  EXPECT_NE(bare.emu.Violations()[0].description.find("router command"), std::string::npos);

  EXPECT_EQ(ParseRouterCommand("SETCOMM9600,e,7,2   ").value_or(SerialSetting{}).parity, 'e');
  EXPECT_FALSE(ParseRouterCommand("SETCOMM19200,x,8,1  "));  // parity
  EXPECT_FALSE(ParseRouterCommand("SETCOMM19200,n,8,1 x"));  // trailing junk
}

TEST(LineRate, WrongRateGarblesBothDirections) {
  RawLine line({}, {PadApp::Loader, {}, {}});
  EXPECT_EQ(line.Request("L0302"), kAck);
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
  std::string bad = Frame("P01");
  bad.back() ^= 1;
  line.Send("junk" + bad);
  EXPECT_EQ(line.Take(), kNak);
  for (char c : Frame("P01") + Frame("I050")) line.Send(std::string(1, c));
  EXPECT_EQ(line.Take(), kAck + Frame("P010002") + kAck);
  line.Ack();
  EXPECT_EQ(line.Take(), Frame("I050"));
  EXPECT_EQ(line.emu.GetTranscript().Entries().back().text, "<STX>I050<ETX><LRC 0x7F>");
  EXPECT_EQ(DescribeBytes(std::string("D0100") + FS + "\xE4"), "D0100<FS><0xE4>");
  EXPECT_TRUE(line.emu.Violations().empty()) << line.emu.ViolationSummary();
}

// One frame waits for its ACK at a time; EOT drops it, NAK and a missing ACK
// resend it, up to the limit.
TEST(Resend, WaitingFrameIsDroppedByEotAndResentUpToTheLimit) {
  EmulatorConfig config;
  config.link.resendLimit = 2;
  RawLine line(config);
  line.SendFrame("P01");
  line.SendFrame("I050");
  EXPECT_EQ(line.Take(), kAck + Frame("P010002") + kAck);
  line.Send(std::string(1, EOT));
  EXPECT_EQ(line.Take(), Frame("I050"));
  line.Send(kNak);
  line.Run(line.emu.Config().delays.ackTimeoutMs);
  EXPECT_EQ(line.Take(), Frame("I050") + Frame("I050"));
  ASSERT_EQ(line.emu.Violations().size(), 1u);  // the missing ACK
  EXPECT_EQ(line.emu.Violations()[0].message, "I050");
  line.Send(kNak);
  line.Run(10000);  // given up: no ACK timer is left behind
  EXPECT_EQ(line.Take(), "");
  EXPECT_TRUE(line.emu.GetTranscript().Contains("given up after 2 resends"));
}

// At 115200 baud a byte takes 87 us: a data block and its ACK cost their
// wire time, no whole milliseconds.
TEST(Timing, APacedLineIsExactToTheMicrosecond) {
  ASSERT_EQ(ByteTimeUs(115200), 87);
  SerialLine line;
  line.SetOptions({true, 115200, 0, 0});
  const int64_t start = 5000;
  line.Write(std::string(257, 'W'), start);
  EXPECT_EQ(line.TakeDue(start + 257 * 87 - 1).size(), 256u);
  EXPECT_EQ(line.TakeDue(start + 257 * 87), std::vector<std::string>{"W"});
  const int64_t idle = start + 257 * 87 + 13;  // the line has been quiet
  line.Write(kAck, idle);
  EXPECT_EQ(line.NextDue(), idle + 87);
  EXPECT_TRUE(line.TakeDue(idle + 86).empty());
  EXPECT_EQ(line.TakeDue(idle + 87), std::vector<std::string>{kAck});
  // The transcript prints such times with their microseconds.
  EXPECT_EQ(FormatEntry({idle + 87, Direction::FromPad, kAck, "<ACK>"}),
            "    27.459 ms  pad -> control  <ACK>");
  EXPECT_EQ(FormatEntry({7087, Direction::Note, "", "x"}), "     7.087 ms  note            x");
}

// Line use counts each write from its hand-over to its last byte's due time,
// overlapping writes once; a late take costs the line nothing.
TEST(Timing, LineUseIsTheTimeFromEachWriteToItsLastByte) {
  LineUse use;
  SerialLine line;
  line.SetOptions({true, 19200, 0, 0, &use});
  const int64_t byte = ByteTimeUs(19200);
  line.Write("abc", 1000);
  line.Write("de", 1000 + byte);  // waits behind the first write
  line.TakeDue(1000 + 5 * byte);
  line.Write("f", 50000);
  line.TakeDue(50000 + byte + 400);  // taken 400 us late
  EXPECT_EQ(use.bytes, 6u);
  EXPECT_EQ(use.busyUs, 6 * byte);
  EXPECT_DOUBLE_EQ(use.floorUs, 6 * 1e7 / 19200);
  line.SetOptions({false, 19200, 0, 0, &use});  // an unpaced line counts nothing
  line.Write("g", 60000);
  line.TakeDue(70000);
  EXPECT_EQ(use.busyUs, 6 * byte);
}

// Replies wait for their message's delay; output cut into chunks of 3 bytes
// goes out 2 ms apart.
TEST(Timing, ProcessingDelayIsPerMessageAndChunksComeWithGaps) {
  EmulatorConfig config;
  config.delays.processingMs = 5;
  config.delays.perMessageMs["P01"] = 50;
  config.link.chunkSize = 3;
  config.link.chunkGapMs = 2;
  RawLine line(config);
  line.SendFrame("P01");
  line.Run(60);
  line.Ack();
  line.SendFrame("I050");  // the general delay
  line.Run(10);
  const std::string p01 = Frame("P010002"), i050 = Frame("I050");
  EXPECT_EQ(line.pieces, (std::vector<std::pair<int64_t, std::string>>{
                             {0, kAck},
                             {50000, p01.substr(0, 3)},
                             {52000, p01.substr(3, 3)},
                             {54000, p01.substr(6, 3)},
                             {56000, p01.substr(9)},
                             {60000, kAck},
                             {65000, i050.substr(0, 3)},
                             {67000, i050.substr(3, 3)},
                             {69000, i050.substr(6)},
                         }));
}

// One emulator reused for many runs: a restart leaves nothing of the last
// run behind (its reply waiting for an ACK, its violations, its transcript);
// with the transcript off the pad still answers and records nothing.
TEST(Restart, StartsAtPowerOnWithTheNewStateAndTheTranscriptCanBeOff) {
  RawLine line({}, BrandNewPad(), "");
  line.Request("P01");  // no router command: a violation
  line.SendFrame("I050");
  ASSERT_FALSE(line.emu.Violations().empty());
  line.emu.Restart({});
  EXPECT_FALSE(line.emu.Connected());
  EXPECT_EQ(line.emu.App(), PadApp::Payment);
  EXPECT_TRUE(line.emu.Violations().empty());
  EXPECT_TRUE(line.emu.GetTranscript().Entries().empty());
  EXPECT_FALSE(line.emu.NextDeadline().has_value());

  line.emu.GetTranscript().enabled = false;
  line.Take();
  line.Connect();
  EXPECT_EQ(line.Request("P01"), kAck + Frame("P010002"));
  EXPECT_TRUE(line.emu.GetTranscript().Entries().empty());

  // A restart may bring another configuration: the next request follows it.
  EmulatorConfig config;
  config.replies.p01Application = "01";
  line.emu.Restart(config, {});
  line.Take();
  line.Connect();
  EXPECT_EQ(line.Request("P01"), kAck + Frame("P010001"));
}

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
