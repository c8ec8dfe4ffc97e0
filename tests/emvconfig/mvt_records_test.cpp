// MVT records against records written out by hand from the record layout.
#include <gtest/gtest.h>

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
const Texts kMvt = {"Dom",  "5000", "TAC-DENIAL", "TAC-ONLINE", "TAC-DEFAULT",
                    "1000", "20",   "",           "50"};

JsonTerminal::Config WithMvt(Texts record) {
  auto c = BaseConfig();
  c.mvtTable.records = {std::move(record)};
  return c;
}

// The default record first (record 1 of the trace), then one per table record.
TEST(MVTRecords, DefaultRecordThenOnePerTableRecord) {
  TerminalRig rig(WithMvt(kMvt));
  ASSERT_EQ(rig.control.BuildMVTRecords(), -1);
  const std::string table = kTableHead + "TAC-DEFAULT" FS_ "TAC-DENIAL" FS_ "TAC-ONLINE" FS_;
  EXPECT_EQ(rig.control.MVTRecords,
            (Texts{"", kDefaultHead + kTerminalData, table + kTerminalData}));
  EXPECT_EQ(rig.events.all,
            (Events{DE(5, "Building MVT Record(1)"), DE(5, "Building MVT Record(2)")}));
  int16_t beyond = 2;
  EXPECT_EQ(rig.control.BuildMVTRecord(beyond), "");
}

// Fields 2, 6, 7 and 9 must be numbers (the pad gets zeros in their place), and
// the terminal's country and currency numbers that fit a long.
TEST(MVTRecords, NonNumericFieldsFailTheBuild) {
  for (const size_t field : {2, 6, 7, 9}) {
    auto bad = kMvt;
    bad[field - 1] = "12a";
    TerminalRig rig(WithMvt(bad));
    int16_t record = 1;
    EXPECT_EQ(rig.control.BuildMVTRecord(record), "") << "field " << field;
    EXPECT_EQ(rig.control.BuildMVTRecords(), 0) << "field " << field;
  }
  for (const auto& [country, currency] :
       {std::pair{"EE", "978"}, std::pair{"233", ""}, std::pair{"233", "99999999999"}}) {
    auto c = WithMvt(kMvt);
    c.country = country;
    c.currency = currency;
    TerminalRig rig(c);
    EXPECT_EQ(rig.control.BuildMVTTerminalData(), "") << country << "/" << currency;
    EXPECT_EQ(rig.control.BuildMVTRecords(), 0) << country << "/" << currency;
  }
}

// A terminal object whose table 5 reports a given record count.
struct CountedMvt : JsonTerminal {
  CountedMvt(JsonTerminal::Config c, int16_t count) : JsonTerminal(std::move(c)), count(count) {}
  int16_t getTableRecordCount(int16_t table) override {
    return table == 5 ? count : JsonTerminal::getTableRecordCount(table);
  }
  int16_t count;
};

// The count bounds the records: 0 gives the default record alone, a negative
// count none at all.
TEST(MVTRecords, RecordCountBoundsTheRecords) {
  for (const auto& [count, records] :
       {std::pair<int16_t, size_t>{1, 2}, {0, 1}, {-1, 0}, {-2, 0}, {INT16_MIN, 0}}) {
    TerminalRig rig(WithMvt(kMvt));
    CountedMvt terminal(WithMvt(kMvt), count);
    rig.control.terminalObject = &terminal;
    EXPECT_EQ(rig.control.BuildMVTRecords(), -1) << count;
    ASSERT_FALSE(rig.control.MVTRecords.empty()) << count;
    EXPECT_EQ(rig.control.MVTRecords.size() - 1, records) << count;
    if (records > 0) {
      EXPECT_EQ(rig.control.MVTRecords[1], kDefaultHead + kTerminalData) << count;
    }
  }
}

}  // namespace
}  // namespace korvex::testing
