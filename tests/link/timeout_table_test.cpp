// The reply timer's expiry in each state: error rows that repeat while the
// timer runs, the steps of an application switch, and retries with their limit.
#include <gtest/gtest.h>

#include "harness/pad_link.h"

namespace korvex::testing {
namespace {

TEST(TimeoutTable, EveryRow) {
  const Events l00 = {DE(10, "Rakenduse LoaderApp tuvastamine..."), Sent("\x02L00\x03", 3000, 1)};
  const Events l0202 = {DE(10, "K\xE4ivitan \"Download mode\""), Sent("\x02L0202\x03", 3000, 1)};
  const Events l0302 = {DE(10, "K\xE4ivitan EMVApp..."), Sent("\x02L0302\x03", 3000, 1)};
  // State, the state after, the events after the TIMEOUT trace and the bytes written.
  std::vector<std::tuple<int16_t, int16_t, Events, std::string>> rows = {
      {109, 109, l00, "\x02L00\x03O"},  // retries, up to the limit tested below
      {137, 137, l0302, "\x02L0302\x03N"},
      {607, 607, {}, kEnq},  // prompts the loader for its download request
      {601, 602, Events{DE(8, "LoaderApp suggested.")} + l00, "\x02L00\x03O"},
      {605, 131, l0202, "\x02L0202\x03O"},
      {625, 131, l0202, "\x02L0202\x03O"},
      {608, 604, l0302, "\x02L0302\x03N"},
      {210, 209, {Sent("\x02I050\x03", 3000, 1)}, "\x02I050\x03\x7F"},
      // After the track message: a bare ACK every 200 ms, not through SendMessage.
      {211, 211, {DE(5, "Sending ACK")}, kAck},
      {212, 212, {DE(5, "Sending ACK")}, kAck},
      {252, 252, {}, ""},  // the cardholder may take any time
  };
  const std::tuple<int32_t, const char*, std::vector<int16_t>> errors[] = {
      {44, "LoaderApp switch failed.", {110}},
      {44, "Check downloaded EMVApp failed.", {129, 623, 624}},
      {44, "Download mode initialization failed.", {131}},
      {44, "PinPad application/connection error.", {600}},
      {44, "Invalid LoaderApp suggestion.", {602, 603}},
      {44, "EMVApp switch failed.", {604}},
      {44, "TCP/COM connection timeout.", {606}},
      {44, "PinPad not responding.", {610, 611, 612, 613, 614, 615, 616, 617, 618, 619}},
      {44, "EMVApp not responding after switch.", {620, 621}},
      {44, "Downloaded EMVApp switch failed.", {622}},
      {17, "PinPad timeout", {0, 111, 127, 128, 501, 503, 504, 507, 1000}},
  };
  for (const auto& [code, text, states] : errors) {
    for (int16_t s : states) rows.emplace_back(s, s, Events{IE(1, code, text)}, "");
  }
  for (const auto& [state, next, then, wire] : rows) {
    SCOPED_TRACE(state);
    PadLink link;
    link.Connect(state, 500);
    link.control.ReceiveBuffer = kStx + "I0";
    link.host.RunFor(500);
    EXPECT_EQ(link.Take(), Events{kTimeout} + then);
    EXPECT_EQ(link.Wire(), wire);
    EXPECT_EQ(link.control.fState, next);
    // Only the chip-reader poll keeps what has arrived so far.
    EXPECT_EQ(link.control.ReceiveBuffer, state == 210 ? kStx + "I0" : "");
    if (next != state) continue;  // the row repeats at the next expiry
    link.host.RunFor(link.control.TimeoutTimer->Interval());
    EXPECT_EQ(link.Take(), Events{kTimeout} + then);
    EXPECT_EQ(link.Wire(), wire + wire);
  }
  PadLink link;  // a tick that arrives after the timer was stopped does nothing
  link.Connect(STATE_APP_DETECT);
  link.control.OnTimer();
  EXPECT_EQ(link.Take(), Events{});
}

TEST(TimeoutTable, RetriesGiveUpAtTheSixthExpiry) {
  const std::tuple<int16_t, int32_t, std::string, std::string> rows[] = {
      {109, 3000, "\x02L00\x03O", "LoaderApp switch failed."},
      {137, 3000, "\x02L0302\x03N", "EMVApp switch failed."},
      // Connected for a download: the faster line, then bare ENQs for the request.
      {607, 1000, kEnq, "Download request not received."},
  };
  for (const auto& [state, interval, unit, failure] : rows) {
    PadLink link;
    state == 607 ? link.control.ConnectRouter(STATE_CONNECT_DOWNLOAD)
                 : link.Connect(state, interval);
    link.host.RunFor(5 * interval + 1);
    EXPECT_EQ(link.Wire(),
              (state == 607 ? "SETCOMM115200,n,8,1 " : "") + unit + unit + unit + unit + unit);
    link.Forget();
    link.host.RunFor(2 * interval);
    EXPECT_EQ(link.Take(), (Events{kTimeout, IE(1, 44, failure), kTimeout, IE(1, 44, failure)}));
    EXPECT_EQ(link.Wire(), "");
  }
}

}  // namespace
}  // namespace korvex::testing
