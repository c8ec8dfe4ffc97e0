// Receiving: cutting the byte stream into units, the ACK/NAK/EOT handshake
// with its shared NAK counter, ENQ and EOT from the PIN pad, both block-check
// modes, and data that arrives while a unit is still being handled.
#include <gtest/gtest.h>

#include "harness/pad_link.h"

namespace korvex::testing {
namespace {

const std::string kReady = Wired("P010002", "P");
const std::string kC99 = Wired("C99", "@");
const std::string kC99x = Wired("C99x", "8");
const std::string kBad = Wired("C99", "A");  // LRC should be "@"
const std::string kD03 = Wired("D0303001", "v");

// A good frame with no handler: ACKed, then reported with code 11.
Events AckedUnknown(const std::string& f) {
  return AckSent() +
         Events{Eaten(f), Dispatched(f), IE(1, 11, "ProcessMessage: Message='" + f + "'")};
}
Events Naked() {
  return {DE(5, "Sending NAK"), Sent(kNak, 0, 0)};
}
Events NakedWithEot() {
  return Naked() + Events{DE(5, "Sending EOT"), Sent(kEot, 0, 0), IE(1, 19, "")};
}

TEST_F(PadLinkTest, SplitFrameIsHandledOnceWhenItsCheckByteArrives) {
  Connect(STATE_APP_DETECT_ACKED);
  host.toControl.chunkSize = 1;
  host.toControl.chunkGapMs = 2;
  pad.Send(kReady);
  const int64_t last = host.NowMs() + 1 + 2 * int64_t(kReady.size() - 1);
  host.RunFor(30);
  Events expected;
  for (char c : kReady) expected.push_back(Arrived(std::string(1, c)));
  expected = expected + AckSent() +
             Events{Eaten(kReady), Dispatched(kReady), DE(10, "EMVApp tuvastatud"),
                    IE(0, 1107, "EmvApp is ready")};
  EXPECT_EQ(Take(), expected);
  EXPECT_EQ(Writes(), (std::vector<std::pair<int64_t, std::string>>{{last, kAck}}));
}

TEST_F(PadLinkTest, MergedFramesAreHandledInOrderAndStrayBytesDropped) {
  Connect(STATE_EMVAPP_READY);
  const std::string data = "zz\x04" + kC99 + "\x04q" + kC99x + kStx + "C9";
  Deliver(data);
  EXPECT_EQ(Take(), Events{Arrived(data)} + AckedUnknown(kC99) + AckedUnknown(kC99x));
  EXPECT_EQ(Wire(), kAck + kAck);
  EXPECT_EQ(control.ReceiveBuffer, kStx + "C9");  // waits for its ETX
  Deliver("9\x03");
  EXPECT_EQ(control.ReceiveBuffer, kStx + "C99\x03");  // and for its check byte
  Deliver("@");
  EXPECT_EQ(Take(), (Events{Arrived("9\x03"), Arrived("@")} + AckedUnknown(kC99)));
  EXPECT_EQ(control.ReceiveBuffer, "");
}

TEST_F(PadLinkTest, BadFramesAreNakedAndTheThirdInARowAlsoGetsEot) {
  Connect(STATE_APP_DETECT_ACKED);
  Deliver(kBad);
  Deliver(kBad);
  EXPECT_EQ(Take(), Events{Arrived(kBad)} + Naked() + Events{Arrived(kBad)} + Naked());
  Deliver(kBad);
  EXPECT_EQ(Take(), Events{Arrived(kBad)} + NakedWithEot());
  // The EOT does not clear the count, and units behind a bad frame wait.
  Deliver(kBad + kC99);
  EXPECT_EQ(Take(), Events{Arrived(kBad + kC99)} + NakedWithEot());
  EXPECT_EQ(control.ReceiveBuffer, kC99);
  EXPECT_EQ(Wire(), kNak + kNak + kNak + kEot + kNak + kEot);
  Deliver(kEnq);
  EXPECT_EQ(Take(), (Events{Arrived(kEnq)} + AckedUnknown(kC99) +
                     Events{Eaten(kEnq), DE(8, "<ENQ> received at State=601")}));
  Deliver(kBad);  // the good frame started the count again
  EXPECT_EQ(Take(), Events{Arrived(kBad)} + Naked());
}

TEST_F(PadLinkTest, ReceivedNaksResendTheLastMessageUntilTheFifth) {
  Connect(STATE_IDLE);
  control.SendD03Request();
  Forget();
  const Events resent = {Eaten(kNak), DE(8, "<NAK> received at State=127"),
                         Sent(Wired("D0303001"), 5000, 1)};
  for (int i = 0; i < 4; ++i) {
    Deliver(kNak);
    EXPECT_EQ(Take(), Events{Arrived(kNak)} + resent) << i;
    EXPECT_TRUE(TimerOn(5000));
  }
  Deliver(kNak);
  EXPECT_EQ(Take(), (Events{Arrived(kNak), Eaten(kNak), DE(8, "<NAK> received at State=127"),
                            IE(1, 18, "NAK error at State=127")}));
  EXPECT_EQ(Wire(), kD03 + kD03 + kD03 + kD03);
  EXPECT_EQ(control.fState, STATE_D03_SENT);
  host.RunFor(60000);  // the timer is off: no timeout follows
  EXPECT_EQ(Take(), Events{});

  // An ACK clears the count; in CRC mode the resend carries a CRC.
  Deliver(kAck);
  control.ChecksumMode = 2;
  Forget();
  Deliver(kNak);
  EXPECT_EQ(Wire(), Wired("D0303001", "\xDC\xE7"));
}

TEST_F(PadLinkTest, SentAndReceivedNaksShareOneCounter) {
  Connect(STATE_APP_DETECT_ACKED);
  Deliver(kBad);
  Deliver(kBad);  // two sent; the last message is now a bare NAK
  Forget();
  Deliver(kNak);
  Deliver(kNak);
  EXPECT_EQ(Wire(), kNak + kNak);  // resent bare, without a check byte
  Deliver(kNak);
  EXPECT_EQ(Take().back(), IE(1, 18, "NAK error at State=601"));
  EXPECT_EQ(Wire(), kNak + kNak);
}

TEST_F(PadLinkTest, EnqAndLoneEotLeaveTheReplyTimerRunning) {
  Connect(STATE_IDLE);
  control.SendD03Request();
  Forget();
  host.RunFor(1000);
  Deliver(kEnq);
  Deliver(kEot);
  EXPECT_EQ(Take(), (Events{Arrived(kEnq), Eaten(kEnq), DE(8, "<ENQ> received at State=127"),
                            Arrived(kEot)}));
  EXPECT_EQ(control.ReceiveBuffer, kEot);
  host.RunFor(1997);
  EXPECT_EQ(Take(), Events{});
  host.RunFor(1);  // 3000 ms after the request
  EXPECT_EQ(Take(), (Events{Timeout(), IE(1, 17, "PinPad timeout")}));
  EXPECT_EQ(control.ReceiveBuffer, "");
  EXPECT_EQ(Wire(), "");
}

TEST_F(PadLinkTest, AckMovesToTheReplyStateAndRestartsTheRequestTimer) {
  Connect(STATE_IDLE);
  control.SendD03Request();
  Forget();
  host.RunFor(1000);
  Deliver(kAck);
  EXPECT_EQ(control.fState, STATE_D03_ACKED);
  EXPECT_EQ(Take(), (Events{Arrived(kAck), Eaten(kAck), AckAt(127)}));
  host.RunFor(2999);
  EXPECT_EQ(Take(), Events{});
  host.RunFor(1);
  EXPECT_EQ(Take(), (Events{Timeout(), IE(1, 17, "PinPad timeout")}));
}

TEST_F(PadLinkTest, CrcModeNeedsBothCheckBytesAndSiSoFramesAreAccepted) {
  Connect(STATE_EMVAPP_READY);
  control.ChecksumMode = 2;
  Deliver(Wired("C99", "\x29"));
  EXPECT_EQ(Wire(), "");
  Deliver("\x63");
  const std::string crcFrame = Wired("C99", "\x29\x63");
  EXPECT_EQ(Take(),
            (Events{Arrived(Wired("C99", "\x29")), Arrived("\x63")} + AckedUnknown(crcFrame)));
  Deliver(Wired("C99", "\x29\x64"));
  EXPECT_EQ(Wire(), kAck + kNak);

  control.ChecksumMode = 1;
  Forget();
  const std::string siFrame = std::string(1, SI) + "C99\x0EM";
  Deliver(siFrame);
  EXPECT_EQ(Take(), Events{Arrived(siFrame)} + AckedUnknown(siFrame));
}

// The second write is due at the same virtual time, so it arrives inside the
// yield before the first frame's ACK; after the bad frame stops the drain, the
// outer loop still takes the good frame behind it.
TEST_F(PadLinkTest, DataArrivingDuringTheAckYieldIsDrainedByTheOuterLoop) {
  Connect(STATE_EMVAPP_READY);
  pad.Send(kC99);
  pad.Send(kBad + kC99x);
  host.RunFor(1);
  EXPECT_EQ(Take(), (Events{Arrived(kC99), DE(5, "Sending ACK"), ArrivedMeanwhile(kBad + kC99x),
                            Sent(kAck, 0, 0), Eaten(kC99), Dispatched(kC99),
                            IE(1, 11, "ProcessMessage: Message='" + kC99 + "'")} +
                     Naked() + AckedUnknown(kC99x)));
  EXPECT_EQ(Wire(), kAck + kNak + kAck);
  EXPECT_EQ(control.ReceiveGuard, 0);
}

// The "81." handler yields first; the PIN pad answers the control's ACK at
// once, so its next frame arrives inside the handler.
TEST_F(PadLinkTest, DataArrivingDuringAHandlersYieldIsHandledAfterIt) {
  Connect(STATE_CHIP_START_ACKED);
  host.toPeer.latencyMs = 0;
  host.toControl.latencyMs = 0;
  bool answered = false;
  pad.onData = [&](SimConnection& c, const std::string& bytes) {
    if (bytes == kAck && !answered) c.Send(kC99);
    answered = true;
  };
  const std::string m81 = Wired("81.*", "\x0E");
  pad.Send(m81);
  host.RunFor(1);
  EXPECT_EQ(Take(), (Events{Arrived(m81)} + AckSent() +
                     Events{Eaten(m81), Dispatched(m81), ArrivedMeanwhile(kC99),
                            DE(5, "Msg 81 at state=252"), DE(5, "Sending ACK")} +
                     AckedUnknown(kC99)));
  EXPECT_EQ(Wire(), kAck + kAck + kAck);
  EXPECT_EQ(control.fState, STATE_CHIP_CARD_SEEN);
  EXPECT_EQ(control.ReceiveGuard, 0);
}

}  // namespace
}  // namespace korvex::testing
