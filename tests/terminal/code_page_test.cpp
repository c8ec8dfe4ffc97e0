// UTF-8 <-> Windows-1257.
#include "support/code_page.h"

#include <gtest/gtest.h>

namespace korvex {
namespace {

TEST(CodePage, RoundTripsAndMarksWhatItCannotRepresent) {
  // õ ä ö ü Õ Ä Ö Ü š ž Š Ž ¤, Latvian ā ē ķ ņ, Lithuanian ą ė į ų.
  const std::string utf8 = "õäöüÕÄÖÜšžŠŽ¤āēķņąėįų";
  const std::string cp =
      "\xF5\xE4\xF6\xFC\xD5\xC4\xD6\xDC\xF0\xFE\xD0\xDE\xA4\xE2\xE7\xED\xF2\xE0\xEB\xE1\xF8";
  EXPECT_EQ(Utf8ToCodePage(utf8), cp);
  EXPECT_EQ(CodePageToUtf8(cp), utf8);
  int unassigned = 0;
  for (int b = 0; b < 256; ++b) {
    const std::string byte(1, static_cast<char>(b));
    const bool assigned = b == '?' || CodePageToUtf8(byte) != "?";
    unassigned += assigned ? 0 : 1;
    EXPECT_TRUE(!assigned || Utf8ToCodePage(CodePageToUtf8(byte)) == byte) << "byte " << b;
  }
  EXPECT_EQ(unassigned, 12);  // 81 83 88 8A 8C 90 98 9A 9C 9F A1 A5

  EXPECT_EQ(Utf8ToCodePage("Я€😀x"), "?\x80?x");
  // Overlong '/', a surrogate, a missing continuation and a truncated end.
  EXPECT_EQ(Utf8ToCodePage("\xC0\xAF|\xED\xA0\x80|\xC3(|\xC3"), "??|???|?(|?");
}

}  // namespace
}  // namespace korvex
