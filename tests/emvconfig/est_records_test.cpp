// EST records and CA key file content against records written out by hand
// from the record layout.
#include <gtest/gtest.h>

#include <algorithm>

#include "emvconfig/terminal_rig.h"

namespace korvex::testing {
namespace {

const std::string kVisaRid = "\xA0\x00\x00\x00\x03"s;
const std::string kMcRid = "\xA0\x00\x00\x00\x04"s;
const std::string kEmptyAidSlot = FS_ "\x01" FS_ FS_ FS_ FS_;
const std::string kTail = "\xFF\xFF\xFF\xFF" FS_ FS_;

JsonTerminal::Config TwoSchemes() {
  auto c = BaseConfig();
  c.aidTable.records = {{"Visa", "14", "A0000000031010", "", "", "VISA CREDIT"},
                        {"MC", "14", "A0000000041010", "", "", "MASTERCARD"},
                        // Blanks around the length; field 3 longer than the AID.
                        {"Electron", " 14 ", "A0000000032010FF", "", "", "  ELECTRON  "}};
  c.caKeys = {Key("A000000003_92", kVisaRid), Key("A000000004_05", kMcRid),
              Key("A000000003_94", kVisaRid)};
  return c;
}

TEST(ESTRecords, OneRecordPerRidWithItsKeysAndAids) {
  TerminalRig rig;
  rig.Bind(TwoSchemes());
  std::vector<std::string> rids;
  ASSERT_EQ(rig.control.BuildRIDList(rids), -1);
  EXPECT_EQ(rids, (std::vector<std::string>{"", "A000000003", "A000000004"}));

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
  ASSERT_EQ(std::count(visa.begin(), visa.end(), '\x1C'), 71);
  ASSERT_EQ(std::count(mc.begin(), mc.end(), '\x1C'), 71);
  EXPECT_EQ(rig.control.ESTRecords, (std::vector<std::string>{"", visa, mc}));
  EXPECT_EQ(rig.DebugTexts(5),
            (std::vector<std::string>{"Building EST Record(1): RID=A000000003",
                                      "Building EST Record(2): RID=A000000004"}));
}

TEST(ESTRecords, LowercaseRidMatchesNoKeyAndGetsTheOtherVersion) {
  TerminalRig rig;
  auto c = TwoSchemes();
  c.aidTable.records = {{"Visa", "14", "a0000000031010", "", "", "V"}};
  rig.Bind(c);
  ASSERT_EQ(rig.control.BuildESTRecords(), -1);
  EXPECT_EQ(rig.control.ESTRecords[1],
            "\x00"s FS_ "Scheme1" FS_ "a000000003" FS_ FS_ + Repeat(FS_, 15) +
                "a0000000031010" FS_ "\x02" FS_ "0002" FS_ "0002" FS_ "V" FS_ +
                Repeat(kEmptyAidSlot, 9) + kTail);
}

TEST(ESTRecords, SurplusKeysAndAidsAreAllWritten) {
  TerminalRig rig;
  auto c = BaseConfig();
  for (int k = 1; k <= 16; ++k) c.caKeys.push_back(Key("K" + std::to_string(k), kVisaRid));
  for (int t = 0; t < 11; ++t) {
    c.aidTable.records.push_back({"", "15", "A00000000310" + std::to_string(100 + t), "", "", ""});
  }
  rig.Bind(c);
  ASSERT_EQ(rig.control.BuildESTRecords(), -1);
  const std::string& record = rig.control.ESTRecords[1];
  EXPECT_EQ(std::count(record.begin(), record.end(), '\x1C'), 4 + 16 + 11 * 5 + 2);
  EXPECT_NE(record.find("K16.EMV" FS_ "A00000000310100" FS_), std::string::npos);
  EXPECT_NE(record.find("A00000000310110" FS_ "\x02" FS_ "0084" FS_ "0084" FS_ FS_ + kTail),
            std::string::npos);
}

TEST(ESTRecords, BadAidRecordFailsTheWholeBuild) {
  // The bad record belongs to the second scheme and still fails the first.
  for (std::string length : {"x", "", "0", "-2", "15"}) {
    TerminalRig rig;
    auto c = TwoSchemes();
    c.aidTable.records[1][1] = length;
    rig.Bind(c);
    EXPECT_EQ(rig.control.BuildESTRecords(), 0) << "length '" << length << "'";
    EXPECT_EQ(rig.DebugTexts(5).size(), 1u);
  }
  TerminalRig rig;
  auto c = TwoSchemes();
  c.aidTable.records[2][2] = "A00000000";  // nine characters: no RID
  rig.Bind(c);
  std::vector<std::string> rids;
  EXPECT_EQ(rig.control.BuildRIDList(rids), 0);
  EXPECT_EQ(rig.control.BuildESTRecords(), 0);
  EXPECT_TRUE(rig.control.ESTRecords.empty());
  EXPECT_TRUE(rig.DebugTexts(5).empty());
}

TEST(ESTRecords, EmptyAidTableBuildsNoRecord) {
  TerminalRig rig;
  rig.Bind(BaseConfig());
  EXPECT_EQ(rig.control.BuildESTRecords(), -1);
  EXPECT_EQ(rig.control.ESTRecords, std::vector<std::string>{""});
}

TEST(ERKData, FieldsInFileOrderCutToTheirLengthBytes) {
  TerminalRig rig;
  auto c = BaseConfig();
  c.caKeys = {
      {"K1",
       {{7, kVisaRid}, {8, "\x92"}, {12, "\x03"}, {14, "ABCDEF"}, {13, "\x01"}, {15, "\x03\x00"s}}},
      {"K2", {{7, kVisaRid}, {8, "\x92"}, {12, "\x09"}, {14, "ABCDEF"}, {13, ""}, {15, "\x03"}}},
      {"K3", {{7, kVisaRid}, {8, "\x92"}, {12, "\x03"}, {14, "ABCDEF"}, {15, "\x03"}}}};
  rig.Bind(c);
  int16_t k = 1;
  EXPECT_EQ(rig.control.BuildERKData(k), "\xA0\x00\x00\x00\x03\x92\x03"s + "ABC\x01\x03");
  k = 2;  // a length beyond the value keeps it whole; an empty length byte counts as 0
  EXPECT_EQ(rig.control.BuildERKData(k), "\xA0\x00\x00\x00\x03\x92\x09"s + "ABCDEF");
  k = 3;  // field 13 unavailable
  EXPECT_EQ(rig.control.BuildERKData(k), "");
  k = 4;
  EXPECT_EQ(rig.control.BuildERKData(k), "");
}

}  // namespace
}  // namespace korvex::testing
