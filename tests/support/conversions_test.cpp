#include "support/conversions.h"

#include <gtest/gtest.h>

#include "hash/secure_hash.h"
#include "link/framing.h"
#include "support/emv_common.h"

namespace korvex {
namespace {

TEST(Conversions, EdgeCases) {
  EXPECT_EQ(AsciiToHex(std::string("\x00\x0A\xFF", 3)), "000AFF");
  EXPECT_EQ(HexToAscii("616263"), "abc");
  EXPECT_EQ(HexToAscii("6162Z3"), std::string("ab\0", 3));
  EXPECT_EQ(HexToAscii("616"), "");
  EXPECT_EQ(HexToLong("fF"), 255);
  EXPECT_EQ(HexToLong("1G"), 0);
  // Saturated values still see a later non-hex character.
  EXPECT_EQ(HexToLong("FFFFFFFF"), 2147483647);
  EXPECT_EQ(HexToLong("FFFFFFFFG"), 0);
  EXPECT_EQ(HexToLong("FFFFFFFFFFFFFFFFFFFFFFFFZ"), 0);
  EXPECT_EQ(HexToLong(""), 0);
  EXPECT_EQ(HexDigitValue("a"), 10);
  EXPECT_EQ(HexDigitValue("ab"), -1);

  EXPECT_EQ(ZeroPadNumber(-7, 3), "007");
  EXPECT_EQ(ZeroPadNumber(12345, 3), "345");
  EXPECT_EQ(ZeroPadNumber(5, 0), "");
  EXPECT_EQ(ZeroPadNumber(INT32_MIN, 12), "002147483648");
  EXPECT_EQ(ZeroPadNumber(INT64_MIN, 20), "09223372036854775808");
  EXPECT_EQ(ZeroPadNumber(int64_t{1234567890123456}, 12), "567890123456");
  EXPECT_EQ(DropLeft("C22ABC", 3), "ABC");
  EXPECT_EQ(DropLeft("AB", 2), "");
  EXPECT_EQ(DropLeft("AB", 0), "AB");
  EXPECT_EQ(ReverseString(IntToBytes(258)), std::string("\x01\x02", 2));
  EXPECT_EQ(LongToBytes(-1), std::string(4, '\xFF'));
  // Out of range and not numeric give the fallback; halves go to the even neighbour.
  for (auto [text, want] :
       {std::pair{"300", 7}, {"255", 255}, {"abc", 7}, {"2.5", 2}, {"3.5", 4}}) {
    EXPECT_EQ(NumberInRange(text, 0, 255, 7), want) << text;
  }

  for (const char* yes : {" 12 ", "-3.5", "1e3", "&HFF"}) EXPECT_TRUE(IsNumeric(yes)) << yes;
  for (const char* no : {"12a", "", ".", "1e"}) EXPECT_FALSE(IsNumeric(no)) << no;
  EXPECT_TRUE(IsDigits("0123456789"));
  for (const char* no : {"", " 12", "+12", "1.2", "1e3", "&HFF"}) EXPECT_FALSE(IsDigits(no)) << no;
  int16_t i = 0;
  EXPECT_FALSE(ToInteger("40000", i));  // does not fit 16 bits
  EXPECT_TRUE(ToInteger("-32768", i));
  EXPECT_EQ(i, -32768);

  EXPECT_EQ(RoundToUnit(-2.5, 1), -3);
  EXPECT_EQ(RoundToUnit(2.675 * 100, 1), 268);
  EXPECT_EQ(CleanTrack2("B12D34F"), "12=34");
  EXPECT_EQ(CleanTrack2(";12D34?"), "12=34");
  EXPECT_EQ(CleanTrack2("1234"), "1234");
}

TEST(Checksums, PublishedVectors) {
  EXPECT_EQ(SHA1Hex("abc"), "A9993E364706816ABA3E25717850C26C9CD0D89D");
  EXPECT_EQ(SHA1Hex("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
            "84983E441C3BD26EBAAE4AA1F95129E5E54670F1");
  EXPECT_EQ(SHA1Hex(std::string(1000000, 'a')), "34AA973CD4C4DAA4F61EEB2BDBAD27316534016F");
  // 55 bytes pad into one block, 56 need a second one.
  EXPECT_EQ(SHA1Hex(std::string(55, 'a')), "C1C8BBDC22796E28C0E15163D20899B65621D65A");
  EXPECT_EQ(SHA1Hex(std::string(56, 'a')), "C2DB330F6083854C99D4B5BFB6E8F29F201BE699");

  EXPECT_EQ(CalculateLRC(Framed("abc")), 0x63);  // everything after STX, ETX included
  EXPECT_EQ(CalculateCRC16("123456789"), 0xFEE8);
}

}  // namespace
}  // namespace korvex
