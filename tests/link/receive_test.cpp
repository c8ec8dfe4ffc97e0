// Receiving: cutting the byte stream into units, the ACK/NAK/EOT handshake
// with its shared NAK counter, ENQ and EOT from the PIN pad, both block-check
// modes, and data that arrives while a unit is still being handled.
#include <gtest/gtest.h>

#include "harness/pad_link.h"

namespace korvex::testing {
namespace {

const std::string kC99 = Wired("C99", "@");
const std::string kC99x = Wired("C99x", "8");
const std::string kBad = Wired("C99", "A");  // LRC should be "@"

// A good frame with no handler: ACKed, then reported with code 11.
Events Unknown(const std::string& f) {
  return Handled(f) + Events{IE(1, 11, "ProcessMessage: Message='" + f + "'")};
}
Events Naked(bool eot = false) {
  const Events nak = {DE(5, "Sending NAK"), Sent(kNak, 0, 0)};
  return eot ? nak + Events{DE(5, "Sending EOT"), Sent(kEot, 0, 0), IE(1, 19, "")} : nak;
}

TEST_F(PadLinkTest, FramesAreCutFromTheStreamWhateverItsPieces) {
  Connect(STATE_EMVAPP_READY);
  // Stray bytes and lone EOTs are dropped, frames in one piece are handled in
  // order (SI/SO framing too), and a split frame once its check byte is in.
  const std::string si = std::string(1, SI) + "C99\x0EM";
  const std::string data = "zz\x04" + kC99 + "\x04q" + si + kStx + "C9";
  Deliver(data);
  Deliver("9\x03");
  Deliver("@");
  EXPECT_EQ(Take(), (Events{Arrived(data)} + Unknown(kC99) + Unknown(si) +
                     Events{Arrived("9\x03"), Arrived("@")} + Unknown(kC99)));
  EXPECT_EQ(Wire(), kAck + kAck + kAck);
  // CRC mode waits for both check bytes.
  control.ChecksumMode = 2;
  Deliver(Wired("C99", "\x29"));
  Deliver("\x63");
  Deliver(Wired("C99", "\x29\x64"));
  EXPECT_EQ(Take(), (Events{Arrived(Wired("C99", "\x29")), Arrived("\x63")} +
                     Unknown(Wired("C99", "\x29\x63")) + Events{Arrived(Wired("C99", "\x29\x64"))} +
                     Naked()));
}

TEST_F(PadLinkTest, BadFramesAreNakedTheThirdInARowWithEotAndNaksShareOneCounter) {
  Connect(STATE_APP_DETECT_ACKED);
  for (int i = 0; i < 3; ++i) Deliver(kBad);
  Deliver(kBad + kC99);  // the EOT did not clear the count; the good frame behind waits
  EXPECT_EQ(Take(), Events{Arrived(kBad)} + Naked() + Events{Arrived(kBad)} + Naked() +
                        Events{Arrived(kBad)} + Naked(true) + Events{Arrived(kBad + kC99)} +
                        Naked(true));
  EXPECT_EQ(Wire(), kNak + kNak + kNak + kEot + kNak + kEot);
  Deliver(kEnq);
  EXPECT_EQ(Take(), (Events{Arrived(kEnq)} + Unknown(kC99) +
                     Events{Eaten(kEnq), DE(8, "<ENQ> received at State=601")}));
  // The good frame started the count again; one NAK sent and four received end it.
  Deliver(kBad);
  Forget();
  for (int i = 0; i < 4; ++i) Deliver(kNak);
  EXPECT_EQ(Wire(), kNak + kNak + kNak);  // the last message, a NAK, resent bare
  EXPECT_EQ(Take().back(), IE(1, 18, "NAK error at State=601"));
}

TEST_F(PadLinkTest, EnqAndLoneEotLeaveTheReplyTimerRunningAndNaksResendUntilTheFifth) {
  Connect(STATE_IDLE);
  control.SendD03Request();
  Forget();
  host.RunFor(1000);
  Deliver(kEnq);
  Deliver(kEot);
  host.RunFor(1998);  // 3000 ms after the request
  EXPECT_EQ(Take(), (Events{Arrived(kEnq), Eaten(kEnq), DE(8, "<ENQ> received at State=127"),
                            Arrived(kEot), kTimeout, IE(1, 17, "PinPad timeout")}));
  EXPECT_EQ(control.ReceiveBuffer, "");
  EXPECT_EQ(Wire(), "");

  const Events nak = {Arrived(kNak), Eaten(kNak), DE(8, "<NAK> received at State=127")};
  Events expected;
  std::string wire;
  for (int i = 0; i < 4; ++i, wire += Wired("D0303001", "v")) {
    Deliver(kNak);
    expected = expected + nak + Events{Sent(Wired("D0303001"), 5000, 1)};
  }
  Deliver(kNak);
  EXPECT_EQ(Take(), expected + nak + Events{IE(1, 18, "NAK error at State=127")});
  EXPECT_EQ(Wire(), wire);
  host.RunFor(29000);  // the timer is off: nothing follows before the stall guard
  EXPECT_EQ(Take(), Events{});
  EXPECT_TRUE(control.StallGuardArmed());
  // An ACK clears the count; in CRC mode the resend carries a CRC.
  Deliver(kAck);
  control.ChecksumMode = 2;
  Forget();
  Deliver(kNak);
  EXPECT_EQ(Wire(), Wired("D0303001", "\xDC\xE7"));
}

// The second write is due at the same virtual time, so it arrives inside the
// yield before the first frame's ACK; after the bad frame stops the drain, the
// outer loop still takes the good frame behind it.
TEST_F(PadLinkTest, DataArrivingDuringTheAckYieldIsDrainedByTheOuterLoop) {
  Connect(STATE_EMVAPP_READY);
  pad.Send(kC99);
  pad.Send(kBad + kC99x);
  host.RunFor(1);
  Events expected = Events{Arrived(kC99)} + Unknown(kC99) + Naked() + Unknown(kC99x);
  expected.insert(expected.begin() + 2,
                  DE(2, "Data Arrived during previous message processing:'" + kBad + kC99x + "'"));
  EXPECT_EQ(Take(), expected);
  EXPECT_EQ(Wire(), kAck + kNak + kAck);
  EXPECT_EQ(control.ReceiveGuard, 0);
}

// Good, unknown, bad and split frames, an ENQ and NAKs: with traces read or
// not, the same interface events in the same order and the same bytes on the
// wire; a host that reads none is given none.
TEST(PadLinkTraces, AHostReadingNoTracesGetsNoneAndEverythingElseUnchanged) {
  auto run = [](bool traces) {
    PadLink link;
    link.events.traces = traces;
    link.Connect(STATE_APP_DETECT_ACKED);
    for (const std::string& bytes :
         {kC99, kBad, kEnq, kNak, kBad + kBad, kStx + "C9", std::string("9\x03@")}) {
      link.Deliver(bytes);
    }
    link.Deliver(kC99x);
    return std::pair(link.events, link.Wire());
  };
  const auto [traced, tracedWire] = run(true);
  const auto [quiet, quietWire] = run(false);
  EXPECT_GT(traced.all.size(), traced.Interfaces().size());
  EXPECT_EQ(quiet.all, traced.Interfaces());
  EXPECT_FALSE(quiet.Interfaces().empty());
  EXPECT_EQ(quietWire, tracedWire);
}

}  // namespace
}  // namespace korvex::testing
