// Warm reset in each of its decision branches and through both card-status
// answers, the pending reset carried out by the next message, and cold reset.
#include <gtest/gtest.h>

#include "harness/pad_link.h"

namespace korvex::testing {
namespace {

const std::string k72 = Wired("72");
const std::string k72Wire = k72 + "\x06";      // its LRC happens to be the ACK byte
const std::string kI050 = "\x02I050\x03\x7F";  // request, and the "no card" answer
const std::string kI051 = "\x02I051\x03\x7E";
const std::string kI02 = "\x02I02\x03H";
const RecordedEvent kRequested = DE(4, "Warm Reset request...");
const Events kCompleted = {IE(0, 1200, "Warm Reset Complete"),
                           DE(6, "************** Warm Reset completed *************")};

Events Received(const std::string& f) {
  return Events{Arrived(f)} + AckSent() + Events{Eaten(f), Dispatched(f)};
}

void ExpectIdleAndClosed(PadLink& link) {
  link.host.RunFor(5);
  EXPECT_EQ(link.control.fState, STATE_IDLE);
  EXPECT_EQ(link.control.HostIndex, -1);
  EXPECT_EQ(link.control.Winsock1->State(), sckClosed);
  EXPECT_EQ(link.pad.closes, 1);
  EXPECT_FALSE(link.control.TimeoutTimer->Enabled());
  EXPECT_FALSE(link.control.WarmResetPending);
}

TEST(WarmReset, WithoutConnectionCompletesAtOnce) {
  SimHost host;
  RecordingEvents events;
  Korvex control(host, events);
  EXPECT_EQ(control.getState(), 0);
  EXPECT_EQ(control.getHostIndex(), 0);
  EXPECT_EQ(control.WarmReset(), 0);
  EXPECT_EQ(events.all, (Events{kRequested, DE(6, "Warm Reset by WinSock.State=0")} + kCompleted));
  EXPECT_EQ(control.getState(), 0);
  EXPECT_EQ(control.getHostIndex(), -1);
}

TEST_F(PadLinkTest, WarmResetWhenIdleWithNoCardInTheReader) {
  Connect(STATE_IDLE);
  EXPECT_EQ(control.WarmReset(), 0);
  EXPECT_EQ(Take(),
            (Events{kRequested, DE(6, "Warm Reset by State=STATE_IDLE"), Sent(k72, 3000, 1)}));
  EXPECT_EQ(control.fState, STATE_WARM_RESET_SENT);
  Deliver(kAck);
  Deliver(kAck);
  EXPECT_EQ(control.fState, STATE_WARM_RESET_I050_ACKED);
  Take();
  Deliver(kI050);
  EXPECT_EQ(Take(), Received(kI050) + Events{Sent(k72, 3000, 1)} + kCompleted);
  EXPECT_EQ(Wire(), k72Wire + kI050 + kAck + k72Wire);
  ExpectIdleAndClosed(*this);
}

TEST_F(PadLinkTest, WarmResetWaitsForTheCardToBeTakenOut) {
  Connect(STATE_EMVAPP_READY);
  EXPECT_EQ(control.WarmReset(), 0);
  EXPECT_EQ(Take(), (Events{kRequested, DE(6, "Warm Reset by common case"), Sent(k72, 3000, 1)}));
  Deliver(kAck);
  Deliver(kAck);
  Take();
  Deliver(kI051);
  EXPECT_EQ(Take(), (Received(kI051) + Events{DE(10, "Eemalda kaart"), Sent("\x02I02\x03", 0, 1)}));
  Deliver(kAck);
  EXPECT_EQ(control.fState, STATE_WARM_RESET_CARD_REMOVAL_ACKED);
  // The cardholder may take any time; a second reset request only waits.
  EXPECT_EQ(control.WarmReset(), 31);
  host.RunFor(120000);
  EXPECT_EQ(Take(), (Events{Arrived(kAck), Eaten(kAck), AckAt(507), kRequested,
                            DE(6, "Warm Reset by UseraActionNeeded=True")}));
  Deliver(kI02);  // card out: completes without a code 27
  EXPECT_EQ(Take(), Received(kI02) + kCompleted);
  EXPECT_EQ(Wire(), k72Wire + kI050 + kAck + kI02 + kAck);
  ExpectIdleAndClosed(*this);
}

TEST(WarmReset, BusyPinPadDefersTheReset) {
  for (int16_t s : {252, 262, 508}) {
    PadLink link;
    link.Connect(s, 60000);
    EXPECT_EQ(link.control.WarmReset(), 31);
    EXPECT_EQ(link.Take(), (Events{kRequested, DE(6, "Warm Reset by UseraActionNeeded=True")}));
    EXPECT_TRUE(link.control.WarmResetPending);
    EXPECT_EQ(link.Wire(), "");
  }
  // A reply is awaited: 0, and the reply's handler carries the reset out.
  PadLink link;
  link.Connect(STATE_APP_DETECT_ACKED, 3000);
  EXPECT_EQ(link.control.WarmReset(), 0);
  EXPECT_EQ(link.Take(), (Events{kRequested, DE(6, "Warm Reset by TimeoutTimer.Enabled")}));
  EXPECT_EQ(link.Wire(), "");
  const std::string ready = WithLrc("P010002");
  link.Deliver(ready);
  EXPECT_EQ(link.Take(),
            (Received(ready) + Events{IE(1, 27, ""), kRequested, DE(6, "Warm Reset by common case"),
                                      Sent(k72, 3000, 1)}));
  EXPECT_EQ(link.control.fState, STATE_WARM_RESET_SENT);
}

TEST(WarmReset, PendingResetIsCarriedOutByTheNextHandledMessage) {
  for (const char* text : {"P00", "KD0", "I050"}) {
    PadLink link;
    link.Connect(STATE_LOADER_SUGGESTED_ACKED);
    link.control.WarmResetPending = true;
    const std::string f = WithLrc(text);
    link.Deliver(f);
    const Events announced = text[0] == 'I' ? Events{} : Events{IE(1, 27, "")};
    EXPECT_EQ(link.Take(),
              (Received(f) + announced +
               Events{kRequested, DE(6, "Warm Reset by common case"), Sent(k72, 3000, 1)}));
  }
}

// The reset yields first, so a reply already due is handled before it decides.
TEST_F(PadLinkTest, WarmResetDecidesOnTheStateFoundAfterItsYield) {
  Connect(STATE_APP_DETECT_ACKED, 3000);
  host.toControl.latencyMs = 0;
  const std::string ready = WithLrc("P010002");
  pad.Send(ready);
  EXPECT_EQ(control.WarmReset(), 0);
  EXPECT_EQ(Take(), (Events{kRequested} + Received(ready) +
                     Events{DE(10, "EMVApp tuvastatud"), IE(0, 1107, "EmvApp is ready"),
                            DE(6, "Warm Reset by common case"), Sent(k72, 3000, 1)}));
}

TEST_F(PadLinkTest, CardStatusAnswersInTheWrongShapeOrState) {
  Connect(STATE_WARM_RESET_I050_ACKED);
  for (const char* text : {"I052", "I05", "I0501"}) {
    const std::string f = WithLrc(text);
    Deliver(f);
    EXPECT_EQ(
        Take(),
        Received(f) + Events{IE(1, 25, "Function='ProcessI05'; State=504; Message='" + f + "'.")});
  }
  control.fState = STATE_EMVAPP_READY;
  Deliver(kI050);
  Deliver(kI02);
  EXPECT_EQ(Take(),
            Received(kI050) +
                Events{IE(1, 12, "Function='ProcessI05'; State=111; Message='" + kI050 + "'.")} +
                Received(kI02) +
                Events{IE(1, 12, "Function='ProcessI02'; State=111; Message='" + kI02 + "'.")});
}

TEST_F(PadLinkTest, ColdResetDropsEverythingSilently) {
  Connect(STATE_CHIP_START_ACKED, 60000);
  control.ReceiveBuffer = kStx + "C0";
  control.LastSentMessage = kAck;
  control.NakCount = 2;
  control.WarmResetPending = true;
  control.ChecksumMode = 2;
  control.RetryCount = 3;
  control.ServiceCodeChecked = true;
  control.HostIndex = 4;
  control.ColdReset();
  EXPECT_EQ(Take(), Events{});
  EXPECT_EQ(Wire(), "");
  ExpectIdleAndClosed(*this);
  EXPECT_EQ(control.ReceiveBuffer, "");
  EXPECT_EQ(control.LastSentMessage, "");
  EXPECT_EQ(control.NakCount, 0);
  EXPECT_EQ(control.ChecksumMode, 1);
  EXPECT_EQ(control.RetryCount, 0);
  EXPECT_FALSE(control.ServiceCodeChecked);
}

TEST(ColdReset, DestroyingTheControlClosesItsConnection) {
  SimHost host;
  ScriptedPeer pad;
  RecordingEvents events;
  host.Listen("router", 4001, pad);
  {
    Korvex control(host, events);
    control.impl().Winsock1->SetRemoteHost("router");
    control.impl().Winsock1->SetRemotePort(4001);
    control.impl().ConnectRouter(STATE_CONNECT_TEST);
    host.RunFor(5);
    ASSERT_EQ(pad.connects, 1);
  }
  host.RunFor(5);
  EXPECT_EQ(pad.closes, 1);
}

}  // namespace
}  // namespace korvex::testing
