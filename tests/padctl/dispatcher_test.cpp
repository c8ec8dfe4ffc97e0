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
  control.DownloadBlockSize = 99;
  const std::string eight = WithLrc("VFI,1,2,3,4,5,6,1024");
  Deliver(eight);
  EXPECT_EQ(Take(), Events{Arrived(eight)} + Handled(eight));  // silently ignored
  EXPECT_EQ(control.DownloadBlockSize, 99);
  EXPECT_EQ(control.fState, STATE_EMVAPP_READY);

  const std::pair<const char*, int32_t> rows[] = {{"VFI", 248},
                                                  {"VFI,1,2,3,4,5,6", 248},
                                                  {"VFI,1,2,3,4,5,6,1024", 1024},
                                                  {"VFI,1,2,3,4,5,6,1k", 248},
                                                  {"VFI,1,2,3,4,5,6,,512", 248}};
  for (const auto& [text, size] : rows) {
    control.fState = STATE_DOWNLOAD_WAIT;
    control.DownloadBlockSize = 99;
    Deliver(WithLrc(text));
    EXPECT_EQ(control.DownloadBlockSize, size) << text;
    EXPECT_EQ(control.fState, STATE_DOWNLOAD_REQUESTED);
    EXPECT_TRUE(TimerOn(1000));
  }
}

TEST_F(PadLinkTest, CardReaderMessageAnswersWithASecondAckAndNakWithEnq) {
  Connect(STATE_CHIP_START_ACKED, 60000);
  const std::string chip = Wired("81.*", "\x0E");
  Deliver(chip);
  EXPECT_EQ(Take(), (Events{Arrived(chip)} + Handled(chip) +
                     Events{DE(5, "Msg 81 at state=252"), DE(5, "Sending ACK")}));
  EXPECT_EQ(control.fState, STATE_CHIP_CARD_SEEN);
  EXPECT_TRUE(TimerOn(200));
  host.RunFor(199);
  Deliver(kNak);  // answered with the ENQ put in place of the last message
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
