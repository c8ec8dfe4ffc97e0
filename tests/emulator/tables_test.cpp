// The table update as the pad sees it: information, deletes, adds, the
// version record, limits and the chain's order; and requests that break their
// layout, answered with a failure status and recorded, the tables untouched.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "emulator/core/pin_pad.h"
#include "raw_line.h"

namespace korvex::emu {
namespace {

using namespace testing;

// Well-formed records are built field by field from the record layouts:
// fields written "a|b|c" with '@' standing for the byte 0x00, each ended by FS.
std::string Fields(std::string text) {
  for (char& c : text) c = c == '|' ? FS : c == '@' ? '\0' : c;
  return text + FS;
}

// The length in three digits (records stay below 1000 bytes).
std::string Len3(const std::string& record) {
  return std::to_string(1000 + record.size()).substr(1);
}

using Aid = std::pair<std::string, std::string>;  // AID and its value

std::string EstRecord(int number, const std::string& rid, const std::vector<std::string>& keyIds,
                      const std::vector<Aid>& aids) {
  std::string f = "@|Scheme" + std::to_string(number) + "|" + rid + "|";
  for (size_t i = 0; i < std::max<size_t>(15, keyIds.size()); ++i) {
    f += "|" + (i < keyIds.size() ? keyIds[i] + ".EMV" : "");
  }
  const std::string version = rid == "A000000003" ? "0084" : "0002";
  for (size_t i = 0; i < 10; ++i) {
    f += i < aids.size()
             ? "|" + aids[i].first + "|\x02|" + version + "|" + version + "|" + aids[i].second
             : "||\x01|||";
  }
  return Fields(f + "|\xFF\xFF\xFF\xFF|");
}

// Fields 14-47 of every MVT record: the terminal's fixed data.
const std::string kMvtTerminal =
    "9F02065F2A029A039C0195059F3704|9F3704|\xFF\xFF|@|1|0233|0978|E0B8D0|7000F0F001|22|EE|R|"
    "TERM0001|MERCHANT01|123456|FF|2|30|B|1|18|1|17|1|\x02|@|@|\x01||||\x10|@|@";

const std::string kMvtDefault = Fields("\xFF\xFF|\xFF\xFF|@|||||@|@|\x01||||" + kMvtTerminal);

std::string MvtRecord(const std::string& f11, const std::string& f12, const std::string& f13) {
  return Fields("\xFF\xFF|\xFF\xFF|\x01|@@|@|@@@@|@@|@|@|\x01|" + f11 + "|" + f12 + "|" + f13 +
                "|" + kMvtTerminal);
}

std::string VersionRecord(const std::string& reference, const std::string& checksum) {
  return Fields("|||||" + reference + "|||||||" + checksum + "|||||");
}

std::string AddEst(const std::string& record) {
  return "D0401071" + Len3(record) + record;
}
std::string AddMvt(const std::string& record) {
  return "D0402047" + Len3(record) + record;
}
std::string SaveVersion(const std::string& record) {
  return "D0503001018" + Len3(record) + record;
}

// Sends a request and expects ACK and one well-formed reply frame, which it
// acknowledges; gives the reply's text.
std::string Ask(RawLine& line, const std::string& text) {
  const std::string out = line.Request(text);
  const std::string reply = out.size() < 4 ? "" : out.substr(2, out.size() - 4);
  if (out != kAck + Frame(reply)) return "no reply to " + text;
  line.Ack();
  return reply;
}

const std::string kEst1 = EstRecord(1, "A000000003", {"A0000000031", "A0000000032"},
                                    {{"A0000000031010", "VISA"}, {"A0000000032010", ""}});
const std::string kEst2 = EstRecord(2, "A000000004", {}, {{"A0000000041010", "MC"}});
const std::string kMvt2 = MvtRecord("5", "table5f3", "table5f4");
const std::string kVersion = VersionRecord("REF000000012", std::string(30, 'C'));
const PadState kOldTables{
    PadApp::Payment, {}, {{kEstTable, {"old est 1", "old est 2"}}, {kMvtTable, {"old mvt"}}}};

TEST(Tables, FullUpdateKeepsEveryRecordByteForByte) {
  RawLine line({}, kOldTables);
  EXPECT_EQ(Ask(line, "D0303001"), "D0305");  // never saved
  EXPECT_EQ(Ask(line, "D0101"), std::string("D0100") + FS + "002" + FS);
  EXPECT_EQ(Ask(line, "D0601000"), "D0600");
  EXPECT_EQ(Ask(line, "D0601000"), "D0600");
  EXPECT_EQ(Ask(line, "D0102"), std::string("D0100") + FS + "001" + FS);
  EXPECT_EQ(Ask(line, "D0602000"), "D0600");
  for (const std::string& add : {AddEst(kEst1), AddEst(kEst2), AddMvt(kMvtDefault), AddMvt(kMvt2)})
    EXPECT_EQ(Ask(line, add), "D0400");
  EXPECT_EQ(Ask(line, SaveVersion(kVersion)), "D0500");
  EXPECT_EQ(Ask(line, "D0303001"), "D0300" + kVersion);

  const PinPad& pad = line.emu.Pad();
  EXPECT_EQ(pad.Records(kEstTable), (std::vector<std::string>{kEst1, kEst2}));
  EXPECT_EQ(pad.Records(kMvtTable), (std::vector<std::string>{kMvtDefault, kMvt2}));
  EXPECT_EQ(pad.VersionRecord(), kVersion);
  EXPECT_TRUE(line.emu.Violations().empty()) << line.emu.ViolationSummary();
}

// A duplicate RID is a violation, a full table is not; the add and save reply
// codes are swapped and a version never saved reads empty.
TEST(Tables, LimitsDuplicateRidAndConfiguredReplies) {
  EmulatorConfig config;
  config.limits.est = 2;
  config.replies = {"D05", "D04", MissingVersion::Empty, "05", "02"};
  RawLine line(config);
  EXPECT_EQ(Ask(line, "D0303001"), "D0300");
  Ask(line, "D0101");
  EXPECT_EQ(Ask(line, AddEst(kEst1)), "D0500");
  EXPECT_EQ(Ask(line, AddEst(EstRecord(2, "A000000003", {}, {{"A0000000031010", ""}}))), "D0509");
  EXPECT_EQ(Ask(line, AddEst(kEst2)), "D0500");
  EXPECT_EQ(Ask(line, AddEst(EstRecord(3, "A000000005", {}, {}))), "D0511");
  Ask(line, "D0102");
  EXPECT_EQ(Ask(line, AddMvt(kMvtDefault)), "D0500");
  EXPECT_EQ(Ask(line, SaveVersion(kVersion)), "D0400");
  EXPECT_EQ(line.emu.Pad().Records(kEstTable), (std::vector<std::string>{kEst1, kEst2}));
  ASSERT_EQ(line.emu.Violations().size(), 1u) << line.emu.ViolationSummary();
  EXPECT_NE(line.emu.Violations()[0].message.find("A000000003"), std::string::npos);
}

TEST(Tables, TheChainsOrderIsEnforced) {
  RawLine line({}, kOldTables);
  EXPECT_EQ(Ask(line, "D0601000"), "D0601");  // before the information
  Ask(line, "D0101");
  EXPECT_EQ(Ask(line, AddEst(kEst1)), "D0401");  // table not emptied yet
  Ask(line, "D0601000");
  Ask(line, "D0601000");
  EXPECT_EQ(Ask(line, "D0601000"), "D0605");             // nothing left to delete
  EXPECT_EQ(Ask(line, SaveVersion(kVersion)), "D0501");  // MVT never refilled
  EXPECT_EQ(line.emu.Violations().size(), 4u);
  EXPECT_TRUE(line.emu.Pad().Records(kEstTable).empty());
  EXPECT_FALSE(line.emu.Pad().VersionRecord());

  // A new connection starts the chain afresh.
  line.Disconnect();
  line.Connect();
  EXPECT_EQ(Ask(line, "D0602000"), "D0601");
}

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
  const std::string noFinalFs = est.substr(0, est.size() - 1);
  const std::vector<std::string> sixteenKeys(16, "K");
  const std::string version = VersionRecord("R", "C");
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
      {"version field 1 filled", SaveVersion("x" + version), "D0508"},
      {"version record 002", "D0503002018" + Len3(version) + version, "D0510"},
      {"add to the version table", "D0403018" + Len3(version) + version, "D0410"},
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
