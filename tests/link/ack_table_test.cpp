// What an ACK from the PIN pad does in each state.
#include <gtest/gtest.h>

#include "harness/pad_link.h"

namespace korvex::testing {
namespace {

TEST(AckTable, EveryRow) {
  const Events l00 = {DE(10, "Rakenduse LoaderApp tuvastamine..."), Sent("\x02L00\x03", 3000, 1)};
  // State, the state after, the reply timer's interval after (0: off), the
  // events after the ACK trace and the bytes written.
  std::vector<std::tuple<int16_t, int16_t, int32_t, Events, std::string>> rows = {
      {129, 109, 3000, l00, "\x02L00\x03O"},  // "I07" taken: look for the loader afresh
      // "72" taken: the pending reset is under way; ask for the card status.
      {501, 503, 3000, {Sent("\x02I050\x03", 3000, 1)}, "\x02I050\x03\x7F"},
      {137, 622, 5000, {}, ""},  // "L0302" taken: 5000 ms for the application to restart
      {604, 605, 5000, {}, ""},
      {252, 252, 3000, {}, ""},  // the chip application may take the cardholder's time
  };
  for (int16_t s :
       {109, 127, 151, 153, 155, 157, 159, 161, 163, 201, 203, 209, 251, 253, 255, 259, 261, 265,
        267, 270, 271, 272, 273, 276, 277, 281, 283, 301, 503, 505, 507, 600, 602, 620, 623}) {
    rows.emplace_back(s, s + 1, 3000, Events{}, "");
  }
  for (int16_t s : {0, 111, 128, 504, 1000}) {  // unexpected: reported, nothing changes
    rows.emplace_back(s, s, 0, Events{IE(1, 8, "ACK Received at fState=" + std::to_string(s))}, "");
  }
  for (const auto& [state, next, timer, then, wire] : rows) {
    SCOPED_TRACE(state);
    PadLink link;
    link.Connect(state, 3000);
    link.control.NakCount = 2;
    link.control.RetryCount = 4;
    link.control.WarmResetPending = true;
    link.host.RunFor(2000);
    link.Deliver(kAck);
    EXPECT_EQ(link.Take(), (Events{Arrived(kAck), Eaten(kAck), AckAt(state)} + then));
    EXPECT_EQ(link.Wire(), wire);
    EXPECT_EQ(link.control.fState, next);
    EXPECT_EQ(link.control.NakCount, 0);
    EXPECT_EQ(link.control.RetryCount, state == 129 ? 0 : 4);
    EXPECT_EQ(link.control.WarmResetPending, state != 501);
    EXPECT_TRUE(timer ? link.TimerOn(timer) : !link.control.TimeoutTimer->Enabled());
    link.host.RunFor(2000);  // the wait for the reply starts again at the ACK
    EXPECT_EQ(link.Take(), Events{});
  }
}

}  // namespace
}  // namespace korvex::testing
