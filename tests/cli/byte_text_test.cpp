// Texts on the bridge's lines: byte n <-> U+00nn.
#include "cli/byte_text.h"

#include <gtest/gtest.h>

namespace korvex::cli {
namespace {

TEST(ByteTextTest, EveryByteRoundTripsThroughItsOwnCharacter) {
  std::string all;
  for (int b = 0; b < 256; ++b) all += char(b);
  const std::string utf8 = BytesToUtf8(all);
  EXPECT_EQ(utf8.size(), 128u + 2 * 128u);
  EXPECT_EQ(BytesToUtf8("K\xE4ivitan"), "K\xC3\xA4ivitan");  // ä is U+00E4
  EXPECT_EQ(BytesToUtf8(std::string("\0\x80", 2)), std::string("\0\xC2\x80", 3));

  std::string back, error;
  ASSERT_TRUE(Utf8ToBytes(utf8, back, error)) << error;
  EXPECT_EQ(back, all);
}

TEST(ByteTextTest, RefusesCharactersAboveFFAndBytesThatAreNotUtf8) {
  const struct {
    std::string utf8, error;
  } cases[] = {
      {"ab\xC4\x80", "character U+0100 is above U+00FF"},
      {"\xF0\x9F\x98\x80", "character U+1F600 is above U+00FF"},  // four bytes
      {"ab\x80", "not UTF-8 at byte 3"},                          // stray continuation
      {"a\xC3", "not UTF-8 at byte 2"},                           // truncated
      {"\xC0\x80", "not UTF-8 at byte 1"},                        // overlong NUL
      {"\xED\xA0\x80", "not UTF-8 at byte 1"},                    // surrogate
  };
  for (const auto& c : cases) {
    std::string bytes, error;
    EXPECT_FALSE(Utf8ToBytes(c.utf8, bytes, error)) << c.error;
    EXPECT_EQ(error, c.error);
  }
}

}  // namespace
}  // namespace korvex::cli
