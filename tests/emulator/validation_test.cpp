// Requests that break their layout are answered with a failure status and
// recorded; the tables stay as they were.
#include <gtest/gtest.h>

#include "emulator/core/pin_pad.h"
#include "raw_line.h"
#include "records.h"

namespace korvex::emu {
namespace {

using namespace testing;

// Throws when `from` is not there.
std::string Replace(std::string s, const std::string& from, const std::string& to) {
  return s.replace(s.find(from), from.size(), to);
}

struct Case {
  const char* what;
  std::string request;
  std::string reply;  // the reply's text; empty: ACK only
};

const std::string kEst = EstRecord(1, "A000000004", {"KEY1"}, {{"A0000000041010", "x"}});

std::vector<Case> Cases() {
  const std::string& est = kEst;
  std::string noFinalFs = est;
  noFinalFs.pop_back();
  const std::vector<std::string> sixteenKeys(16, "K");
  return {
      {"length field says more", "D0401071999" + est, "D0402"},
      {"field count is not 071", "D0401070" + Len3(est) + est, "D0402"},
      {"length is not digits", "D04010710x1" + est, "D0402"},
      {"record without final FS", AddEst(noFinalFs), "D0408"},
      {"16 keys make 72 fields", AddEst(EstRecord(1, "A000000004", sixteenKeys, {})), "D0408"},
      {"field 1 is not 0x00", AddEst(Replace(est, std::string(1, '\0'), "X")), "D0408"},
      {"scheme number is not the position", AddEst(EstRecord(2, "A000000004", {}, {})), "D0408"},
      {"RID is not hex", AddEst(EstRecord(1, "A00000000G", {}, {})), "D0408"},
      {"AID of another RID", AddEst(EstRecord(1, "A000000003", {}, {{"A0000000041010", ""}})),
       "D0408"},
      {"scheme version of another RID", AddEst(Replace(est, "0002", "0084")), "D0408"},
      {"key slot without .EMV", AddEst(Replace(est, "KEY1.EMV", "KEY1.BIN")), "D0408"},
      {"MVT starts without the default", AddMvt(MvtRecord("1", "2", "3")), "D0408"},
      {"MVT terminal field changed", AddMvt(Replace(kMvtDefault, "E0B8D0", "E0B8D1")), "D0408"},
      {"MVT country not digits", AddMvt(Replace(kMvtDefault, "0233", "02A3")), "D0408"},
      {"version field 1 filled", SaveVersion("x" + VersionRecord("R", "C")), "D0508"},
      {"version record 002",
       "D0503002018" + Len3(VersionRecord("R", "C")) + VersionRecord("R", "C"), "D0510"},
      {"add to the version table",
       "D0403018" + Len3(VersionRecord("R", "C")) + VersionRecord("R", "C"), "D0410"},
      {"unknown table", "D0107", "D0110"},
      {"table info too long", "D01011", "D0102"},
      {"record 000 read", "D0303000", "D0302"},
      {"card status with a card", "I051", ""},
      {"reset with a field", "72X", ""},
      {"P01 with a field", "P01X", "P010202"},
      {"unknown message", "Z99", ""},
      {"lowercase code", "p01", ""},
  };
}

TEST(Validation, EveryMalformedRequestIsRefusedAndRecorded) {
  EmulatorConfig config;
  config.strictOrder = false;  // layouts only
  RawLine good(config);        // the record most cases are made from passes
  EXPECT_EQ(good.Request(AddEst(kEst)), kAck + Frame("D0400"));
  for (const Case& c : Cases()) {
    SCOPED_TRACE(c.what);
    RawLine line(config);
    EXPECT_EQ(line.Request(c.request), kAck + (c.reply.empty() ? "" : Frame(c.reply)));
    ASSERT_EQ(line.emu.Violations().size(), 1u);
    EXPECT_EQ(line.emu.Violations()[0].message, c.request);
    for (const auto& [table, records] : line.emu.Pad().State().tables)
      EXPECT_TRUE(records.empty()) << "table " << table;
  }
}

}  // namespace
}  // namespace korvex::emu
