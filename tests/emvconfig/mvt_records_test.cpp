// MVT records against records written out by hand from the record layout.
#include <gtest/gtest.h>

#include <algorithm>

#include "emvconfig/terminal_rig.h"

namespace korvex::testing {
namespace {

// Fields 14 to 47 for BaseConfig's identity.
const std::string kTerminalData =
    "9F02065F2A029A039C0195059F3704" FS_ "9F3704" FS_ "\xFF\xFF" FS_ "\x00"s FS_ "1" FS_ "0233" FS_
    "0978" FS_ "E0B8D0" FS_ "7000F0F001" FS_ "22" FS_ "T1" FS_ "R" FS_ "TID1" FS_ "MID1" FS_
    "AI1" FS_ "FF" FS_ "2" FS_ "30" FS_ "B" FS_ "1" FS_ "18" FS_ "1" FS_ "17" FS_ "1" FS_ "\x02" FS_
    "\x00" FS_ "\x00" FS_ "\x01" FS_ FS_ FS_ FS_ "\x10" FS_ "\x00" FS_ "\x00" FS_;
const std::string kDefaultHead = "\xFF\xFF"s FS_ "\xFF\xFF" FS_ "\x00" FS_ FS_ FS_ FS_ FS_
                                 "\x00" FS_ "\x00" FS_ "\x01" FS_ FS_ FS_ FS_;
const std::string kTableHead =
    "\xFF\xFF"s FS_ "\xFF\xFF" FS_ "\x01" FS_ "\x00\x00" FS_ "\x00" FS_ "\x00\x00\x00\x00" FS_
    "\x00\x00" FS_ "\x00" FS_ "\x00" FS_ "\x01" FS_;

JsonTerminal::Config WithMvt(std::vector<std::string> record) {
  auto c = BaseConfig();
  c.mvtTable.records = {std::move(record)};
  return c;
}
const std::vector<std::string> kMvt = {"Dom",  "5000", "TAC-DENIAL", "TAC-ONLINE", "TAC-DEFAULT",
                                       "1000", "20",   "",           "50"};

TEST(MVTRecords, DefaultRecordThenOnePerTableRecord) {
  TerminalRig rig;
  auto& terminal = rig.Bind(WithMvt(kMvt));
  ASSERT_EQ(rig.control.BuildMVTRecords(), -1);
  const std::string table = kTableHead + "TAC-DEFAULT" FS_ "TAC-DENIAL" FS_ "TAC-ONLINE" FS_;
  EXPECT_EQ(rig.control.MVTRecords,
            (std::vector<std::string>{"", kDefaultHead + kTerminalData, table + kTerminalData}));
  for (size_t i = 1; i < rig.control.MVTRecords.size(); ++i) {
    const std::string& r = rig.control.MVTRecords[i];
    EXPECT_EQ(std::count(r.begin(), r.end(), '\x1C'), 47);
  }
  // Record 1 of the event is the default record.
  EXPECT_EQ(rig.DebugTexts(5),
            (std::vector<std::string>{"Building MVT Record(1)", "Building MVT Record(2)"}));
  const std::vector<std::string> once = {"country", "currency", "table1:1,1", "tid", "mid", "aiid"};
  EXPECT_EQ(terminal.log.size(), 12u);
  EXPECT_EQ(std::vector<std::string>(terminal.log.begin(), terminal.log.begin() + 6), once);

  int16_t beyond = 2;
  EXPECT_EQ(rig.control.BuildMVTRecord(beyond), "");
}

TEST(MVTRecords, EmptyTableGivesOnlyTheDefaultRecord) {
  TerminalRig rig;
  rig.Bind(BaseConfig());
  ASSERT_EQ(rig.control.BuildMVTRecords(), -1);
  EXPECT_EQ(rig.control.MVTRecords, (std::vector<std::string>{"", kDefaultHead + kTerminalData}));
}

TEST(MVTRecords, NumericFieldsAreCheckedButNotCarried) {
  TerminalRig a;
  a.Bind(WithMvt(kMvt));
  TerminalRig b;
  b.Bind(WithMvt({"Dom", " 7 ", "TAC-DENIAL", "TAC-ONLINE", "TAC-DEFAULT", "-3", "1.5", "x", "0"}));
  ASSERT_EQ(a.control.BuildMVTRecords(), -1);
  ASSERT_EQ(b.control.BuildMVTRecords(), -1);
  EXPECT_EQ(a.control.MVTRecords, b.control.MVTRecords);

  for (const size_t field : {2, 6, 7, 9}) {
    TerminalRig rig;
    auto bad = kMvt;
    bad[field - 1] = "12a";
    rig.Bind(WithMvt(bad));
    int16_t record = 1;
    EXPECT_EQ(rig.control.BuildMVTRecord(record), "") << "field " << field;
    EXPECT_EQ(rig.control.BuildMVTRecords(), 0) << "field " << field;
  }
}

TEST(MVTRecords, CountryAndCurrencyMustBeNumbers) {
  for (const auto& [country, currency] :
       {std::pair{"EE", "978"}, std::pair{"233", ""}, std::pair{"233", "99999999999"}}) {
    TerminalRig rig;
    auto c = BaseConfig();
    c.country = country;
    c.currency = currency;
    rig.Bind(c);
    EXPECT_EQ(rig.control.BuildMVTTerminalData(), "") << country << "/" << currency;
    EXPECT_EQ(rig.control.BuildMVTRecords(), 0) << country << "/" << currency;
  }
  TerminalRig rig;
  auto c = BaseConfig();
  c.country = " 12233 ";  // only the rightmost four digits travel
  c.currency = "44";
  rig.Bind(c);
  const std::string data = rig.control.BuildMVTTerminalData();
  EXPECT_EQ(data.substr(0, 17), "\xFF\xFF" FS_ "\x00"s FS_ "1" FS_ "2233" FS_ "0044" FS_);
}

TEST(MVTRecords, IdentityTextsAreCopiedUnchecked) {
  TerminalRig rig;
  auto c = BaseConfig();
  c.terminalId = "TI" FS_ "D";
  rig.Bind(c);
  int16_t record = 0;
  const std::string r = rig.control.BuildMVTRecord(record);
  EXPECT_NE(r.find("R" FS_ "TI" FS_ "D" FS_ "MID1" FS_), std::string::npos);
  EXPECT_EQ(std::count(r.begin(), r.end(), '\x1C'), 48);
}

}  // namespace
}  // namespace korvex::testing
