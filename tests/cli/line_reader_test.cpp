// Cutting the bridge's input into lines.
#include "cli/line_reader.h"

#include <gtest/gtest.h>

namespace korvex::cli {
namespace {

std::vector<std::string> Texts(const std::vector<InputLine>& lines) {
  std::vector<std::string> out;
  for (const InputLine& l : lines) out.push_back(l.tooLong ? "<too long>" : l.text);
  return out;
}

TEST(LineSplitterTest, LinesSurviveAnySplitOfTheStream) {
  LineSplitter splitter(100);
  std::vector<InputLine> lines;
  for (const char* piece : {"{\"call\":", "\"getState\"}\n\n{\"a\"", "}\r\nlast"}) {
    for (InputLine& l : splitter.Feed(piece)) lines.push_back(std::move(l));
  }
  EXPECT_EQ(Texts(lines), (std::vector<std::string>{"{\"call\":\"getState\"}", "", "{\"a\"}\r"}));
  const auto last = splitter.Finish();
  ASSERT_TRUE(last.has_value());
  EXPECT_EQ(last->text, "last");
  EXPECT_FALSE(splitter.Finish().has_value());
}

TEST(LineSplitterTest, AnOverlongLineIsReportedOnceAndTheNextOneIsKept) {
  LineSplitter splitter(5);
  EXPECT_TRUE(splitter.Feed("123").empty());
  EXPECT_TRUE(splitter.Feed("456789").empty());
  EXPECT_EQ(Texts(splitter.Feed("0\n12345\n")), (std::vector<std::string>{"<too long>", "12345"}));
  splitter.Feed("123456");
  const auto last = splitter.Finish();
  ASSERT_TRUE(last.has_value());
  EXPECT_TRUE(last->tooLong);
}

}  // namespace
}  // namespace korvex::cli
