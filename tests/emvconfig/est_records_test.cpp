// EST records and CA key file content against records written out by hand
// from the record layout.
#include <gtest/gtest.h>

#include <tuple>

#include "emvconfig/terminal_rig.h"

namespace korvex::testing {
namespace {

const std::string kVisaRid = "\xA0\x00\x00\x00\x03"s;
const std::string kMcRid = "\xA0\x00\x00\x00\x04"s;
const std::string kEmptyAidSlot = FS_ "\x01" FS_ FS_ FS_ FS_;
const std::string kTail = "\xFF\xFF\xFF\xFF" FS_ FS_;

JsonTerminal::Config ThreeRids() {
  auto c = BaseConfig();
  c.aidTable.records = {{"Visa", "14", "A0000000031010", "", "", "VISA CREDIT"},
                        {"MC", "14", "A0000000041010", "", "", "MASTERCARD"},
                        // Blanks around the length; field 3 longer than the AID.
                        {"Electron", " 14 ", "A0000000032010FF", "", "", "  ELECTRON  "},
                        // Keys are matched by their RID in upper case: none for this one.
                        {"Visa", "14", "a0000000031010", "", "", "V"}};
  c.caKeys = {Key("A000000003_92", kVisaRid), Key("A000000004_05", kMcRid),
              Key("A000000003_94", kVisaRid)};
  return c;
}

// Two AIDs of one RID share its record, wherever they stand in the table; a
// RID without keys gets the other scheme version.
TEST(ESTRecords, OneRecordPerRidWithItsKeysAndAids) {
  TerminalRig rig(ThreeRids());
  ASSERT_EQ(rig.control.BuildESTRecords(), -1);
  const std::string visa = "\x00"s FS_ "Scheme1" FS_ "A000000003" FS_ FS_     //
                           "A000000003_92.EMV" FS_ "A000000003_94.EMV" FS_ +  //
                           Repeat(FS_, 13) +                                  //
                           "A0000000031010" FS_ "\x02" FS_ "0084" FS_ "0084" FS_ "VISA CREDIT" FS_
                           "A0000000032010" FS_ "\x02" FS_ "0084" FS_ "0084" FS_ "ELECTRON" FS_ +
                           Repeat(kEmptyAidSlot, 8) + kTail;
  const std::string mc = "\x00"s FS_ "Scheme2" FS_ "A000000004" FS_ FS_ "A000000004_05.EMV" FS_ +
                         Repeat(FS_, 14) +
                         "A0000000041010" FS_ "\x02" FS_ "0002" FS_ "0002" FS_ "MASTERCARD" FS_ +
                         Repeat(kEmptyAidSlot, 9) + kTail;
  const std::string lower = "\x00"s FS_ "Scheme3" FS_ "a000000003" FS_ FS_ + Repeat(FS_, 15) +
                            "a0000000031010" FS_ "\x02" FS_ "0002" FS_ "0002" FS_ "V" FS_ +
                            Repeat(kEmptyAidSlot, 9) + kTail;
  EXPECT_EQ(rig.control.ESTRecords, (Texts{"", visa, mc, lower}));
  EXPECT_EQ(rig.events.all, (Events{DE(5, "Building EST Record(1): RID=A000000003"),
                                    DE(5, "Building EST Record(2): RID=A000000004"),
                                    DE(5, "Building EST Record(3): RID=a000000003")}));
}

// A bad AID length (field 2) anywhere fails the whole build, even from the
// second scheme; an AID shorter than a RID fails it before any record.
TEST(ESTRecords, BadAidRecordFailsTheWholeBuild) {
  const std::tuple<int, int, std::string> rows[] = {
      {1, 1, "x"}, {1, 1, ""}, {1, 1, "0"}, {1, 1, "-2"}, {1, 1, "15"}, {2, 2, "A00000000"}};
  for (const auto& [record, field, value] : rows) {
    SCOPED_TRACE(value);
    auto c = ThreeRids();
    c.aidTable.records[record][field] = value;
    TerminalRig rig(c);
    EXPECT_EQ(rig.control.BuildESTRecords(), 0);
    EXPECT_EQ(rig.events.all.size(), field == 1 ? 1u : 0u);  // the first scheme was begun
  }
}

// RID, field 8, then each length byte and the value it measures, cut to it.
TEST(ERKData, FieldsInFileOrderCutToTheirLengthBytes) {
  auto c = BaseConfig();
  c.caKeys = {
      {"K1",
       {{7, kVisaRid}, {8, "\x92"}, {12, "\x03"}, {14, "ABCDEF"}, {13, "\x01"}, {15, "\x03\x00"s}}},
      {"K2", {{7, kVisaRid}, {8, "\x92"}, {12, "\x09"}, {14, "ABCDEF"}, {13, ""}, {15, "\x03"}}},
      {"K3", {{7, kVisaRid}, {8, "\x92"}, {12, "\x03"}, {14, "ABCDEF"}, {15, "\x03"}}}};
  TerminalRig rig(c);
  int16_t k = 1;
  EXPECT_EQ(rig.control.BuildERKData(k), "\xA0\x00\x00\x00\x03\x92\x03"s + "ABC\x01\x03");
  k = 2;  // a length beyond the value keeps it whole; an empty length byte counts as 0
  EXPECT_EQ(rig.control.BuildERKData(k), "\xA0\x00\x00\x00\x03\x92\x09"s + "ABCDEF");
  k = 3;  // field 13 unavailable
  EXPECT_EQ(rig.control.BuildERKData(k), "");
}

}  // namespace
}  // namespace korvex::testing
