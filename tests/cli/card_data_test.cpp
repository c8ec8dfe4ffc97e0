// Card data as the tool shows it: masked as on a receipt, traces untouched.
#include <gtest/gtest.h>

#include <string>

#include "cli/bridge_output.h"
#include "cli/card_data.h"

namespace korvex::cli {
namespace {

TEST(CardDataTest, PanAndTrack2ShowNoMoreThanAReceipt) {
  using Row = std::pair<std::string, std::string>;
  for (const auto& [pan, masked] : std::initializer_list<Row>{
           {"5413330089020011234", "541333*********1234"},
           {"4761739001010", "476173***1010"},  // 13: the shortest with its first six
           {"476173900101", "********0101"},    // 12: the last four only
           {"47617390", "****7390"},
           {"4761739", "*******"},  // too short to show anything
           {"", ""},
       }) {
    EXPECT_EQ(MaskPan(pan), masked) << pan;
  }
  // The README's example: ReadmeExamplesTest.MaskingReadsAsTheToolWrites.
  for (const auto& [track2, masked] : std::initializer_list<Row>{
           {"4761739001010010=", "476173******0010="},
           {"=2212", "=****"},
           {"4761739001010010", "476173******0010"},  // no separator: a PAN
           {"4761=1234=5678", "****=*********"},      // the first '=' separates
       }) {
    EXPECT_EQ(MaskTrack2(track2), masked) << track2;
  }
  // Event texts of other types than 5: the demo and host process tests.
  EXPECT_EQ(MaskTagValue("pan", "4761739001010010"), "476173******0010");
  EXPECT_EQ(MaskTagValue("Track2", "4761739001010010=2212"), "476173******0010=****");
  EXPECT_EQ(MaskTagValue("AID", "A0000000031010"), "A0000000031010");
}

TEST(CardDataTest, BridgeEventsMaskTheSwipedTrackUnlessAskedButNeverTheTrace) {
  int32_t type = 5, code = 0;
  int16_t level = 4;
  std::string track = "4761739001010010=2212", trace = track;
  for (const bool show : {false, true}) {
    OutputQueue out(1 << 20);
    JsonLineWriter writer(out);
    BridgeEvents(writer, show).InterfaceEvent(type, code, track);
    BridgeEvents(writer, show).DebugEvent(level, trace);
    EXPECT_EQ(out.Pop()->text, R"({"event":"InterfaceEvent","type":5,"code":0,"text":")" +
                                   (show ? track : "476173******0010=****") + "\"}");
    EXPECT_EQ(out.Pop()->text, R"({"event":"DebugEvent","level":4,"text":")" + track + "\"}");
  }
}

}  // namespace
}  // namespace korvex::cli
