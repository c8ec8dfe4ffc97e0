// Swipes: the track message "81." while swipe reading is on, its second-ACK
// rule, a swipe held behind a request being handled, a swipe the pad does not
// read. The fallback check of a service code is pinned in tests/transaction.
#include <gtest/gtest.h>

#include "card_conversation.h"
#include "link/framing.h"

namespace korvex::emu {
namespace {

using namespace testing;

RawLine SwipingLine(CardProfile card, EmulatorConfig config = {}) {
  config.cardholder.entry = CardEntry::Swipe;
  PadState state;
  state.cardProfile = std::move(card);
  return RawLine(config, state);
}

const std::string kStripeTrack =
    Frame("81.;5413330089020011=2512101000000000?" + std::string(1, FS));

const std::vector<Exchange> kSwipeOn = {
    {"C23", "C2300"}, {"I02", "I02"}, {"Q40", ""}, {kInsertPrompt, ""}, {"I050", "I050"}};

TEST(CardSwipe, TrackMessageAndTheSecondAckRule) {
  RawLine line = SwipingLine(StripeCard());
  Converse(line, kSwipeOn);
  line.Run(500);
  EXPECT_EQ(line.Take(), kStripeTrack);
  line.Ack();  // the frame's ACK
  EXPECT_EQ(line.Take(), "");
  line.Ack();  // the control's second ACK, and one more while it waits
  line.Ack();
  EXPECT_EQ(line.Take(), kAck + kAck);
  Converse(line, {{"Q41", ""}});  // a request ends the exchange
  line.Ack();
  EXPECT_EQ(line.Take(), "");
  EXPECT_TRUE(line.emu.Violations().empty()) << line.emu.ViolationSummary();
}

TEST(CardSwipe, SwipeWaitsBehindARequestBeingHandled) {
  EmulatorConfig config;
  config.delays.perMessageMs["I05"] = 600;
  RawLine line = SwipingLine(StripeCard(), config);
  Converse(line, {{"C23", "C2300"}, {"I02", "I02"}, {"Q40", ""}, {kInsertPrompt, ""}});
  line.Run(100);
  line.SendFrame("I050");  // handled at 700; the swipe comes at 500
  line.Run(599);
  EXPECT_EQ(line.Take(), kAck);
  line.Run(1);
  EXPECT_EQ(line.Take(), Frame("I050"));
  line.Ack();
  EXPECT_EQ(line.Take(), kStripeTrack);
}

// A new transaction, "Q41" and "72" each end swipe reading.
TEST(CardSwipe, NoTrackMessageWhileSwipeReadingIsOff) {
  const Exchange offs[] = {{"C23", "C2300"}, {"Q41", ""}, {"72", ""}};
  for (const Exchange& off : offs) {
    SCOPED_TRACE(off.request);
    RawLine line = SwipingLine(StripeCard());
    Converse(line, {{"C23", "C2300"}, {"Q40", ""}, off, {kInsertPrompt, ""}});
    line.Run(5000);
    EXPECT_EQ(line.Take(), "");
    EXPECT_TRUE(line.emu.GetTranscript().Contains("swipe reading is off: not read"));
  }
}

}  // namespace
}  // namespace korvex::emu
