// The reply timer's expiry in each state: error rows that repeat while the
// timer runs, retries with their limit, and the steps of an application switch.
#include <gtest/gtest.h>

#include "harness/pad_link.h"

namespace korvex::testing {
namespace {

// Expiries of an error row, with a partial frame waiting that must be dropped.
void ExpectRepeatedError(int16_t state, int32_t code, const std::string& text) {
  SCOPED_TRACE(state);
  PadLink link;
  link.Connect(state, 3000);
  link.control.ReceiveBuffer = kStx + "ab";
  for (int expiry = 0; expiry < 2; ++expiry) {
    link.host.RunFor(3000);
    EXPECT_EQ(link.Take(), (Events{Timeout(), IE(1, code, text)}));
    EXPECT_EQ(link.control.ReceiveBuffer, "");
    link.control.ReceiveBuffer = kStx + "ab";
  }
  EXPECT_EQ(link.control.fState, state);
  EXPECT_EQ(link.Wire(), "");
}

TEST(TimeoutTable, ErrorRowsRepeatAtEveryExpiry) {
  const std::pair<int16_t, const char*> rows[] = {
      {110, "LoaderApp switch failed."},
      {129, "Check downloaded EMVApp failed."},
      {131, "Download mode initialization failed."},
      {600, "PinPad application/connection error."},
      {602, "Invalid LoaderApp suggestion."},
      {603, "Invalid LoaderApp suggestion."},
      {604, "EMVApp switch failed."},
      {606, "TCP/COM connection timeout."},
      {620, "EMVApp not responding after switch."},
      {621, "EMVApp not responding after switch."},
      {622, "Downloaded EMVApp switch failed."},
      {623, "Check downloaded EMVApp failed."},
      {624, "Check downloaded EMVApp failed."},
  };
  for (const auto& [state, text] : rows) ExpectRepeatedError(state, 44, text);
  for (int16_t s = 610; s <= 619; ++s) ExpectRepeatedError(s, 44, "PinPad not responding.");
  for (int16_t s : {0, 111, 127, 128, 501, 503, 504, 507, 1000}) {
    ExpectRepeatedError(s, 17, "PinPad timeout");
  }
}

TEST(TimeoutTable, RetriedRequestsGiveUpAfterFiveResends) {
  struct Row {
    int16_t state;
    void (Korvex::Impl::*send)(int16_t);
    std::string trace, frame, failure;
  };
  const Row rows[] = {
      {109, &Korvex::Impl::DetectLoaderApp, "Rakenduse LoaderApp tuvastamine...", "\x02L00\x03O",
       "LoaderApp switch failed."},
      {137, &Korvex::Impl::StartEMVApp, "K\xE4ivitan EMVApp...", "\x02L0302\x03N",
       "EMVApp switch failed."},
  };
  for (const Row& row : rows) {
    PadLink link;
    link.Connect(STATE_IDLE);
    (link.control.*row.send)(row.state);
    link.Forget();
    const int64_t t0 = link.host.NowMs();
    const std::string text = row.frame.substr(0, row.frame.size() - 1);
    for (int retry = 1; retry <= 5; ++retry) {
      link.host.RunFor(3000);
      EXPECT_EQ(link.Take(), (Events{Timeout(), DE(10, row.trace), Sent(text, 3000, 1)}));
      EXPECT_EQ(link.Writes().back(), std::make_pair(t0 + 3000 * retry, row.frame));
    }
    for (int more = 0; more < 2; ++more) {
      link.host.RunFor(3000);
      EXPECT_EQ(link.Take(), (Events{Timeout(), IE(1, 44, row.failure)}));
    }
    EXPECT_EQ(link.Writes().size(), 5u);
  }
}

TEST(TimeoutTable, DownloadRequestIsPromptedWithFiveEnqs) {
  PadLink link;
  link.control.ConnectRouter(STATE_CONNECT_DOWNLOAD);
  link.host.RunFor(1);
  EXPECT_EQ(link.control.fState, STATE_DOWNLOAD_WAIT);
  EXPECT_EQ(link.Wire(), "SETCOMM115200,n,8,1 ");
  link.Forget();
  for (int64_t ms = 1000; ms <= 5000; ms += 1000) {
    link.host.RunFor(1000);
    EXPECT_EQ(link.Take(), Events{Timeout()});
    EXPECT_EQ(link.Writes().back(), std::make_pair(ms + 1, kEnq));
  }
  link.host.RunFor(1000);
  EXPECT_EQ(link.Take(), (Events{Timeout(), IE(1, 44, "Download request not received.")}));
  EXPECT_EQ(link.Wire(), std::string(5, '\x05'));

  // Without a connection the retries still count, but nothing is written.
  PadLink closed;
  closed.control.fState = STATE_DOWNLOAD_WAIT;
  closed.control.RestartTimer(1000);
  closed.host.RunFor(6000);
  EXPECT_EQ(closed.Take().back(), IE(1, 44, "Download request not received."));
}

TEST(TimeoutTable, StepRows) {
  struct Row {
    int16_t state, next;
    Events trace;
    std::string wire;
  };
  const Row rows[] = {
      {601,
       602,
       {DE(8, "LoaderApp suggested."), DE(10, "Rakenduse LoaderApp tuvastamine..."),
        Sent("\x02L00\x03", 3000, 1)},
       "\x02L00\x03O"},
      {605,
       131,
       {DE(10, "K\xE4ivitan \"Download mode\""), Sent("\x02L0202\x03", 3000, 1)},
       "\x02L0202\x03O"},
      {625,
       131,
       {DE(10, "K\xE4ivitan \"Download mode\""), Sent("\x02L0202\x03", 3000, 1)},
       "\x02L0202\x03O"},
      {608,
       604,
       {DE(10, "K\xE4ivitan EMVApp..."), Sent("\x02L0302\x03", 3000, 1)},
       "\x02L0302\x03N"},
      {210, 209, {Sent("\x02I050\x03", 3000, 1)}, "\x02I050\x03\x7F"},
  };
  for (const Row& row : rows) {
    PadLink link;
    link.Connect(row.state, 500);
    link.control.ReceiveBuffer = kStx + "I0";
    link.host.RunFor(500);
    EXPECT_EQ(link.Take(), Events{Timeout()} + row.trace);
    EXPECT_EQ(link.Wire(), row.wire);
    EXPECT_EQ(link.control.fState, row.next);
    // Only the chip-reader poll keeps what has arrived so far.
    EXPECT_EQ(link.control.ReceiveBuffer, row.state == 210 ? kStx + "I0" : "") << row.state;
  }
}

TEST(TimeoutTable, TrackMessageStatesRepeatABareAckAndTheChipStateWaits) {
  for (int16_t s : {211, 212}) {
    PadLink link;
    link.Connect(s, 200);
    link.control.LastSentMessage = kEnq;
    link.host.RunFor(400);
    EXPECT_EQ(link.Take(),
              (Events{Timeout(), DE(5, "Sending ACK"), Timeout(), DE(5, "Sending ACK")}));
    EXPECT_EQ(link.Wire(), kAck + kAck);
    EXPECT_EQ(link.control.LastSentMessage, kEnq);
  }
  PadLink link;
  link.Connect(STATE_CHIP_START_ACKED, 3000);
  link.host.RunFor(6000);
  EXPECT_EQ(link.Take(), (Events{Timeout(), Timeout()}));
  EXPECT_EQ(link.control.fState, STATE_CHIP_START_ACKED);
}

TEST(TimeoutTable, LateTickDoesNothing) {
  PadLink link;
  link.Connect(STATE_APP_DETECT);
  link.control.OnTimer();
  EXPECT_EQ(link.Take(), Events{});
}

TEST(TimeoutTable, ConnectionThatNeverCompletes) {
  struct Row {
    int16_t state;
    int32_t code;
    std::string text;
  };
  for (const Row& row : {Row{100, 17, "PinPad timeout"}, Row{125, 17, "PinPad timeout"},
                         Row{606, 44, "TCP/COM connection timeout."}}) {
    PadLink link;
    link.host.connectDelayMs = 1000000;
    link.control.ConnectRouter(row.state);
    link.Take();
    for (int expiry = 0; expiry < 2; ++expiry) {
      link.host.RunFor(10000);
      EXPECT_EQ(link.Take(), (Events{Timeout(), IE(1, row.code, row.text)}));
    }
  }
}

}  // namespace
}  // namespace korvex::testing
