#include "support/korvex_lang.h"

#include <gtest/gtest.h>

namespace korvex {
namespace {

TEST(YesNoTexts, FirstKnownLanguageOfTheCardWins) {
  EXPECT_EQ(YesNoTexts("6574656E"), "Ei   Jah");  // "eten"
  EXPECT_EQ(YesNoTexts("656E6574"), "No   Yes");  // "enet"
  EXPECT_EQ(YesNoTexts("4554"), "Ei   Jah");      // upper-case "ET"
  EXPECT_EQ(YesNoTexts("66726574"), "Ei   Jah");  // "fr" skipped, then "et"
  EXPECT_EQ(YesNoTexts("6672"), "No   Yes");
  EXPECT_EQ(YesNoTexts(""), "No   Yes");
  EXPECT_EQ(YesNoTexts("65746"), "No   Yes");
}

TEST(ResultTexts, TableBoundariesAndGaps) {
  EXPECT_EQ(EmvResultText(0), "Operation successful");
  EXPECT_EQ(EmvResultText(10), "Chip rdr failure");
  EXPECT_EQ(EmvResultText(11), "");
  EXPECT_EQ(EmvResultText(23), "Card removed");
  EXPECT_EQ(EmvResultText(49), "App not yet effective");
  EXPECT_EQ(EmvResultText(64), "Explicit selec reqd");
  EXPECT_EQ(EmvResultText(78), "Card inserted");
  EXPECT_EQ(EmvResultText(79), "");
  EXPECT_EQ(EmvResultText(96), "");
  EXPECT_EQ(EmvResultText(97), "Unrecog return");
  EXPECT_EQ(EmvResultText(99), "Failure");
  EXPECT_EQ(EmvResultText(100), "");
  EXPECT_EQ(EmvResultText(-1), "");
  EXPECT_EQ(TableResultText(3), "Response has more packets");
  EXPECT_EQ(TableResultText(11), "Table limit reached");
  EXPECT_EQ(TableResultText(12), "Field limit reached");
  EXPECT_EQ(TableResultText(13), "");
  EXPECT_EQ(TableResultText(99), "Internal failure");
}

}  // namespace
}  // namespace korvex
