// Warm reset in each of its decision branches and through both card-status
// answers, the pending reset carried out by the next message, and cold reset.
#include <gtest/gtest.h>

#include "harness/pad_link.h"

namespace korvex::testing {
namespace {

const std::string k72 = Wired("72"), k72Wire = Wired("72", "\x06");  // the LRC is the ACK byte
const std::string kI050 = "\x02I050\x03\x7F";  // request, and the "no card" answer
const std::string kI02 = "\x02I02\x03H";
const RecordedEvent kRequested = DE(4, "Warm Reset request...");
const Events kCompleted = {IE(0, 1200, "Warm Reset Complete"),
                           DE(6, "************** Warm Reset completed *************")};

Events Received(const std::string& f) {
  return Events{Arrived(f)} + Handled(f);
}

void ExpectIdleAndClosed(PadLink& link) {
  link.host.RunFor(5);
  EXPECT_EQ(link.control.fState, STATE_IDLE);
  EXPECT_EQ(link.control.HostIndex, -1);
  EXPECT_EQ(link.pad.closes, 1);
  EXPECT_FALSE(link.control.TimeoutTimer->Enabled());
  EXPECT_FALSE(link.control.WarmResetPending);
}

TEST(WarmReset, DecidesByConnectionStateAndTimer) {
  struct Row {
    int16_t state;  // -1: not connected
    int32_t timer;
    int16_t result;
    std::string by;
    bool pending;
  };
  const Row rows[] = {
      {-1, 0, 0, "WinSock.State=0", false},  // completes at once
      {STATE_IDLE, 0, 0, "State=STATE_IDLE", false},
      {STATE_EMVAPP_READY, 0, 0, "common case", false},
      {252, 60000, 31, "UseraActionNeeded=True", true},  // the cardholder is expected to act
      {262, 60000, 31, "UseraActionNeeded=True", true},
      {508, 0, 31, "UseraActionNeeded=True", true},
      {STATE_APP_DETECT_ACKED, 3000, 0, "TimeoutTimer.Enabled", true},  // a reply is awaited
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.state);
    PadLink link;
    if (row.state >= 0) link.Connect(row.state, row.timer);
    EXPECT_EQ(link.control.WarmReset(), row.result);
    const bool sends = row.state == STATE_IDLE || row.state == STATE_EMVAPP_READY;
    EXPECT_EQ(link.Take(), (Events{kRequested, DE(6, "Warm Reset by " + row.by)} +
                            (sends ? Events{Sent(k72, 3000, 1)} : Events{}) +
                            (row.state < 0 ? kCompleted : Events{})));
    EXPECT_EQ(link.Wire(), sends ? k72Wire : "");
    EXPECT_EQ(link.control.WarmResetPending, row.pending);
    EXPECT_EQ(link.control.fState, sends ? STATE_WARM_RESET_SENT : std::max<int16_t>(row.state, 0));
    EXPECT_EQ(link.control.HostIndex, row.state < 0 ? -1 : 0);
  }
}

TEST(WarmReset, CardStatusDecidesHowItEnds) {
  for (bool card : {false, true}) {
    PadLink link;
    link.Connect(STATE_IDLE);
    link.control.WarmReset();
    link.Deliver(kAck);  // for "72"; "I050" follows
    link.Deliver(kAck);
    link.Forget();
    const std::string status = card ? "\x02I051\x03\x7E" : kI050;
    link.Deliver(status);
    if (card) link.Deliver(kAck), link.Deliver(kI02);  // asked to take it out; it is out
    EXPECT_EQ(link.Take(), (card ? Received(status) +
                                       Events{DE(10, "Eemalda kaart"), Sent("\x02I02\x03", 0, 1),
                                              Arrived(kAck), Eaten(kAck), AckAt(507)} +
                                       Received(kI02) + kCompleted
                                 : Received(kI050) + Events{Sent(k72, 3000, 1)} + kCompleted));
    EXPECT_EQ(link.Wire(), kAck + (card ? kI02 + kAck : k72Wire));
    ExpectIdleAndClosed(link);
  }
}

TEST(WarmReset, PendingResetIsCarriedOutByTheNextHandledMessage) {
  for (const char* text : {"P010002", "P00", "KD0", "I050"}) {
    PadLink link;
    link.Connect(STATE_APP_DETECT_ACKED, 3000);
    link.control.WarmResetPending = true;
    const std::string f = WithLrc(text);
    link.Deliver(f);
    // Code 27 first, except for the card status.
    EXPECT_EQ(link.Take(),
              (Received(f) + (text[0] == 'I' ? Events{} : Events{IE(1, 27, "")}) +
               Events{kRequested, DE(6, "Warm Reset by common case"), Sent(k72, 3000, 1)}));
  }
}

// The reset yields first, so a reply already due is handled before it decides.
TEST_F(PadLinkTest, WarmResetDecidesOnTheStateFoundAfterItsYield) {
  Connect(STATE_APP_DETECT_ACKED, 3000);
  host.toControl.latencyMs = 0;
  pad.Send(WithLrc("P010002"));
  EXPECT_EQ(control.WarmReset(), 0);
  EXPECT_EQ(Take().back(), Sent(k72, 3000, 1));
}

TEST_F(PadLinkTest, CardStatusAnswersInTheWrongShapeOrState) {
  Connect(STATE_WARM_RESET_I050_ACKED);
  for (const char* text : {"I052", "I05", "I0501"}) {
    const std::string f = WithLrc(text);
    Deliver(f);
    EXPECT_EQ(Take().back(), IE(1, 25, "Function='ProcessI05'; State=504; Message='" + f + "'."));
  }
  control.fState = STATE_EMVAPP_READY;
  Deliver(kI02);
  EXPECT_EQ(Take().back(), IE(1, 12, "Function='ProcessI02'; State=111; Message='" + kI02 + "'."));
}

TEST_F(PadLinkTest, ColdResetAndDestructionDropEverythingSilently) {
  Connect(STATE_CHIP_START_ACKED, 60000);
  control.ReceiveBuffer = kStx + "C0";
  control.LastSentMessage = kAck;
  control.NakCount = 2;
  control.WarmResetPending = true;
  control.ChecksumMode = 2;
  control.RetryCount = 3;
  control.ServiceCodeChecked = true;
  control.ColdReset();
  EXPECT_EQ(Take(), Events{});
  EXPECT_EQ(Wire(), "");
  ExpectIdleAndClosed(*this);
  EXPECT_EQ(std::tie(control.ReceiveBuffer, control.LastSentMessage, control.NakCount,
                     control.ChecksumMode, control.RetryCount, control.ServiceCodeChecked),
            std::make_tuple("", "", 0, 1, 0, false));
  {  // a control that goes away closes its connection the same way
    Korvex::Impl other(host, events);
    other.Winsock1->SetRemoteHost("router");
    other.Winsock1->SetRemotePort(4001);
    other.ConnectRouter(STATE_CONNECT_TEST);
    host.RunFor(5);
    ASSERT_EQ(pad.connects, 2);
  }
  host.RunFor(5);
  EXPECT_EQ(pad.closes, 2);
}

}  // namespace
}  // namespace korvex::testing
