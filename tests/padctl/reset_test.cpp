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

const auto Received = [](const std::string& f) { return Events{Arrived(f)} + Handled(f); };

void ExpectIdleAndClosed(PadLink& link) {
  link.host.RunFor(5);
  EXPECT_EQ(link.control.fState, STATE_IDLE);
  EXPECT_EQ(link.control.HostIndex, -1);
  EXPECT_EQ(link.pad.closes, 1);
  EXPECT_FALSE(link.control.TimeoutTimer->Enabled());
}

TEST(WarmReset, DecidesByConnectionStateAndTimer) {
  const std::tuple<int16_t, int32_t, std::string> rows[] = {
      {-1, 0, "WinSock.State=0"},  // not connected: completes at once
      {STATE_IDLE, 0, "State=STATE_IDLE"},
      {STATE_EMVAPP_READY, 0, "common case"},
      {252, 60000, "UseraActionNeeded=True"},  // the cardholder is expected to act: 31
      {262, 60000, "UseraActionNeeded=True"},
      {508, 0, "UseraActionNeeded=True"},
      {STATE_APP_DETECT_ACKED, 3000, "TimeoutTimer.Enabled"},  // a reply is awaited
  };
  for (const auto& [state, timer, by] : rows) {
    SCOPED_TRACE(state);
    PadLink link;
    if (state >= 0) link.Connect(state, timer);
    EXPECT_EQ(link.control.WarmReset(), by.starts_with("Usera") ? 31 : 0);
    const bool sends = state == STATE_IDLE || state == STATE_EMVAPP_READY;
    EXPECT_EQ(link.Take(), (Events{kRequested, DE(6, "Warm Reset by " + by)} +
                            (sends ? Events{Sent(k72, 3000, 1)} : Events{}) +
                            (state < 0 ? kCompleted : Events{})));
    EXPECT_EQ(link.Wire(), sends ? k72Wire : "");
    EXPECT_EQ(link.control.WarmResetPending, !sends && state >= 0);
    EXPECT_EQ(link.control.fState, sends ? STATE_WARM_RESET_SENT : std::max<int16_t>(state, 0));
    EXPECT_EQ(link.control.HostIndex, state < 0 ? -1 : 0);
  }
}

TEST(WarmReset, CardStatusDecidesHowItEnds) {
  for (bool card : {false, true}) {
    PadLink link;
    link.Connect(STATE_IDLE);
    link.control.WarmReset();
    link.Deliver(kAck);  // for "72"; "I050" follows
    link.Deliver(kAck);
    for (const char* wrong : {"I052", "I05", "I0501"}) {  // refused, the answer still awaited
      link.Deliver(WithLrc(wrong));
      EXPECT_EQ(link.Take().back(),
                IE(1, 25, "Function='ProcessI05'; State=504; Message='" + WithLrc(wrong) + "'."));
    }
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
  for (const char* text : {"P010002", "P00", "KD0", "I050"}) {  // code 27 first, not for I05
    PadLink link;
    link.Connect(STATE_APP_DETECT_ACKED, 3000);
    link.control.WarmResetPending = true;
    const std::string f = WithLrc(text);
    link.Deliver(f);
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

TEST_F(PadLinkTest, ColdResetAndDestructionDropEverythingSilently) {
  Connect(STATE_CHIP_START_ACKED, 60000);
  auto fields = std::tie(control.ReceiveBuffer, control.LastSentMessage, control.NakCount,
                         control.ChecksumMode, control.RetryCount, control.ServiceCodeChecked,
                         control.WarmResetPending);
  fields = std::make_tuple(kStx + "C0", kAck, 2, 2, 3, true, true);
  control.ColdReset();
  EXPECT_EQ(Take(), Events{});
  EXPECT_EQ(Wire(), "");
  ExpectIdleAndClosed(*this);
  EXPECT_EQ(fields, std::make_tuple("", "", 0, 1, 0, false, false));
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
