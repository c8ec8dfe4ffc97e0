#include "support/korvex_lang.h"

#include <gtest/gtest.h>

namespace korvex {
namespace {

TEST(Texts, YesNoFollowsTheFirstKnownLanguageOfTheCard) {
  // "eten", "ET", "fr" skipped then "et"; "enet", "fr" alone, empty, odd hex, odd "etx".
  for (const char* et : {"6574656E", "4554", "66726574"}) {
    EXPECT_EQ(YesNoTexts(et), "Ei   Jah") << et;
  }
  for (const char* en : {"656E6574", "6672", "", "65746", "657478"}) {
    EXPECT_EQ(YesNoTexts(en), "No   Yes") << en;
  }
}

// The texts themselves reach the host in the purchase and table-update events;
// here the table ends and the numbers that have none.
TEST(Texts, ResultTableBoundariesAndGaps) {
  EXPECT_EQ(EmvResultText(0), "Operation successful");
  EXPECT_EQ(EmvResultText(99), "Failure");
  for (int gap : {-1, 11, 79, 96, 100}) EXPECT_EQ(EmvResultText(gap), "") << gap;
  EXPECT_EQ(TableResultText(3), "Response has more packets");  // the low codes are shared
  EXPECT_EQ(TableResultText(12), "Field limit reached");
  for (int gap : {-1, 13, 100}) EXPECT_EQ(TableResultText(gap), "") << gap;
}

}  // namespace
}  // namespace korvex
