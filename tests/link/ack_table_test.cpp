// What an ACK from the PIN pad does in each state.
#include <gtest/gtest.h>

#include "harness/pad_link.h"

namespace korvex::testing {
namespace {

TEST(AckTable, PlainRowsMoveToTheNextStateAndRestartTheTimer) {
  for (int16_t s :
       {109, 127, 151, 153, 155, 157, 159, 161, 163, 201, 203, 209, 251, 253, 255, 259, 261, 265,
        267, 270, 271, 272, 273, 276, 277, 281, 283, 301, 503, 505, 507, 600, 602, 620, 623}) {
    PadLink link;
    link.Connect(s, 3000);
    link.control.NakCount = 2;
    link.Deliver(kAck);
    EXPECT_EQ(link.control.fState, s + 1);
    EXPECT_EQ(link.control.NakCount, 0) << s;
    EXPECT_TRUE(link.TimerOn(3000)) << s;
    EXPECT_EQ(link.Take(), (Events{Arrived(kAck), Eaten(kAck), AckAt(s)}));
    EXPECT_EQ(link.Wire(), "") << s;
  }
}

TEST(AckTable, RowsThatStartTheNextStep) {
  {  // "I07" taken: look for the loader with a fresh retry count.
    PadLink link;
    link.Connect(STATE_LOADER_START, 3000);
    link.control.RetryCount = 4;
    link.Deliver(kAck);
    EXPECT_EQ(link.Take(),
              (Events{Arrived(kAck), Eaten(kAck), AckAt(129),
                      DE(10, "Rakenduse LoaderApp tuvastamine..."), Sent("\x02L00\x03", 3000, 1)}));
    EXPECT_EQ(link.Wire(), "\x02L00\x03O");
    EXPECT_EQ(link.control.fState, STATE_LOADER_DETECT);
    EXPECT_EQ(link.control.RetryCount, 0);
  }
  {  // "72" taken: the pending reset is under way; ask for the card status.
    PadLink link;
    link.Connect(STATE_WARM_RESET_SENT, 3000);
    link.control.WarmResetPending = true;
    link.Deliver(kAck);
    EXPECT_EQ(link.Take(),
              (Events{Arrived(kAck), Eaten(kAck), AckAt(501), Sent("\x02I050\x03", 3000, 1)}));
    EXPECT_EQ(link.Wire(), "\x02I050\x03\x7F");
    EXPECT_EQ(link.control.fState, STATE_WARM_RESET_I050);
    EXPECT_FALSE(link.control.WarmResetPending);
  }
  // "L0302" taken: 5000 ms for the application to restart.
  for (auto [from, to] : {std::pair<int16_t, int16_t>{137, 622}, {604, 605}}) {
    PadLink link;
    link.Connect(from, 3000);
    link.Deliver(kAck);
    EXPECT_EQ(link.control.fState, to);
    EXPECT_TRUE(link.TimerOn(5000)) << from;
    EXPECT_EQ(link.Take(), (Events{Arrived(kAck), Eaten(kAck), AckAt(from)}));
  }
  {  // The chip application may take the cardholder's time: the wait restarts.
    PadLink link;
    link.Connect(STATE_CHIP_START_ACKED, 60000);
    link.Deliver(kAck);
    EXPECT_EQ(link.control.fState, STATE_CHIP_START_ACKED);
    EXPECT_TRUE(link.TimerOn(60000));
  }
}

TEST(AckTable, UnexpectedAckIsReportedAndChangesNothing) {
  for (int16_t s : {0, 111, 128, 504, 1000}) {
    PadLink link;
    link.Connect(s, 3000);
    link.Deliver(kAck);
    EXPECT_EQ(link.control.fState, s);
    EXPECT_FALSE(link.control.TimeoutTimer->Enabled()) << s;
    EXPECT_EQ(link.Take(), (Events{Arrived(kAck), Eaten(kAck), AckAt(s),
                                   IE(1, 8, "ACK Received at fState=" + std::to_string(s))}));
  }
}

}  // namespace
}  // namespace korvex::testing
