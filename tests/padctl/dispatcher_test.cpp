// Dispatch by message code, the loader's download request and the card
// reader's "81." message.
#include <gtest/gtest.h>

#include "harness/pad_link.h"

namespace korvex::testing {
namespace {

TEST_F(PadLinkTest, CodesCompareExactlyAndCaseSensitively) {
  Connect(STATE_APP_DETECT_ACKED);
  for (const char* text : {"p010002", "P0", "P1 0002", "P0I0002"}) {
    const std::string f = WithLrc(text);
    Deliver(f);
    EXPECT_EQ(Take(), (Events{Arrived(f)} + Handled(f) +
                       Events{IE(1, 11, "ProcessMessage: Message='" + f + "'")}));
  }
  EXPECT_EQ(control.fState, STATE_APP_DETECT_ACKED);
}

TEST_F(PadLinkTest, DownloadRequestIsTakenOnlyWhileWaitingForIt) {
  Connect(STATE_EMVAPP_READY);
  // State, request, block size after, the field refused (traced) or nullptr.
  const std::tuple<int16_t, const char*, int32_t, const char*> rows[] = {
      {STATE_EMVAPP_READY, "VFI,1,2,3,4,5,6,1024", 99, nullptr},  // silently ignored
      {STATE_DOWNLOAD_WAIT, "VFI", 248, nullptr},
      {STATE_DOWNLOAD_WAIT, "VFI,1,2,3,4,5,6,1024", 1024, nullptr},
      {STATE_DOWNLOAD_WAIT, "VFI,1,2,3,4,5,6,65535", 65535, nullptr},
      {STATE_DOWNLOAD_WAIT, "VFI,1,2,3,4,5,6,1", 1, nullptr},
      // The block length travels as 16 bits: 1 to 65535 or the default.
      {STATE_DOWNLOAD_WAIT, "VFI,1,2,3,4,5,6,0", 248, "0"},
      {STATE_DOWNLOAD_WAIT, "VFI,1,2,3,4,5,6,70000", 248, "70000"},
      {STATE_DOWNLOAD_WAIT, "VFI,1,2,3,4,5,6,-5", 248, "-5"},
      {STATE_DOWNLOAD_WAIT, "VFI,1,2,3,4,5,6,1k", 248, "1k"},
      {STATE_DOWNLOAD_WAIT, "VFI,1,2,3,4,5,6,,512", 248, ",512"},
  };
  for (const auto& [state, text, size, refused] : rows) {
    control.fState = state;
    control.dl.DownloadBlockSize = 99;
    Deliver(WithLrc(text));
    Events expected = Events{Arrived(WithLrc(text))} + Handled(WithLrc(text));
    if (refused) {
      expected.push_back(
          DE(8, "Download block size " + std::string(refused) + " out of range, using 248"));
    }
    EXPECT_EQ(Take(), expected);
    EXPECT_EQ(control.dl.DownloadBlockSize, size) << text;
    EXPECT_EQ(control.fState, state == STATE_DOWNLOAD_WAIT ? STATE_DOWNLOAD_REQUESTED : state);
    EXPECT_TRUE(state != STATE_DOWNLOAD_WAIT || TimerOn(1000));
  }
}

TEST_F(PadLinkTest, CardReaderMessageAnswersWithASecondAckAndNakWithEnq) {
  Connect(STATE_CHIP_START_ACKED, 60000);
  const std::string chip = Wired("81.*", "\x0E");
  Deliver(chip);
  EXPECT_EQ(Take(), (Events{Arrived(chip)} + Handled(chip) +
                     Events{DE(5, "Msg 81 at state=252"), DE(5, "Sending ACK")}));
  EXPECT_EQ(control.fState, STATE_CHIP_CARD_SEEN);
  host.RunFor(199);  // a bare ACK every 200 ms
  Deliver(kNak);     // answered with the ENQ put in place of the last message
  EXPECT_EQ(Take(), (Events{kTimeout, DE(5, "Sending ACK"), Arrived(kNak), Eaten(kNak),
                            DE(8, "<NAK> received at State=211"), Sent(kEnq, 5000, 0)}));
  EXPECT_EQ(Wire(), kAck + kAck + kAck + kEnq);

  control.fState = STATE_CHIP_START_ACKED;
  const std::string track = WithLrc("81.B1234D2512\x1C");
  Deliver(track);
  EXPECT_EQ(control.fState, STATE_TRACK2_SEEN);
  EXPECT_EQ(control.LastTrack2Message, track);
}

}  // namespace
}  // namespace korvex::testing
