// A whole chip purchase, request by request, with the replies' exact texts;
// the cryptogram data the pad computes is checked for what a test can rely
// on: the ATC moves on, the cryptogram follows its data.
#include <gtest/gtest.h>

#include "card_conversation.h"

namespace korvex::emu {
namespace {

using namespace testing;

std::string Tag(RawLine& line, const std::string& tag) {
  return line.emu.Pad().Transaction().tags.at(tag);
}

TEST(CardPurchase, ChipPurchaseWithScriptsRequestByRequest) {
  RawLine line;
  Converse(line, EntryAndChipStart());
  Converse(line, {
                     {"C010000000001250000000000000"
                      "0978",
                      "C0100" + kAid + kLabel + "00101" + kLanguage + "0020233" +
                          "0174761739001010010D2712201123456789F" + "0084761739001010010" +
                          "003271231" + "00101" + "0"},
                     {"C20" + kCardData,
                      "C2000"
                      "0020233"
                      "00101"
                      "0025C00"
                      "003E0B8D0" +
                          kLanguage},
                     {"C170010000000DC4004F800DC4000A800", "C1700"},
                     {"C1800000000000", "C1800"},
                     {"C2612.50           Ei   Jah", "C2600F3", 1000},
                     {"C02000100010",
                      "C02000"
                      "0050000000000"
                      "002E800",
                      2000},
                     {"C831",
                      "C8300"
                      "00180"
                      "000"},
                 });
  EXPECT_EQ(Tag(line, "9F36"), "0012");  // the card's ATC was 0011
  Converse(line, {
                     {"C20" + kFirstAcData,
                      "C2000"
                      "00180"
                      "00706010A03A00000"
                      "008" +
                          Tag(line, "9F26") +
                          "0020012"
                          "004" +
                          Tag(line, "9F37") + "0050000000000" +
                          "002E800"
                          "003420300"},
                     {"C2571001005"
                      "0102030405",
                      "C2500"},
                     {"C2572081240" + std::string(480, 'A'), "C2500"},
                     {"C2572191002"
                      "BBBB",
                      "C2500"},
                     {"C210291000081122334455667788"
                      "8A000023030",
                      "C2100"},
                     {"C840",
                      "C8400"
                      "00140"
                      "0023030"
                      "02"
                      "2000000000"
                      "2000000000"},
                 });
  Converse(line, {
                     {"C20" + kSecondAcData,
                      "C2000"
                      "00140"
                      "00706010A03A00000"
                      "008" +
                          Tag(line, "9F26") +
                          "0020012"
                          "004" +
                          Tag(line, "9F37") + "0050000000000" + "002EC00"},
                 });
  EXPECT_TRUE(line.emu.Violations().empty()) << line.emu.ViolationSummary();
}

}  // namespace
}  // namespace korvex::emu
