// The table update as the pad sees it: information, deletes, adds, the
// version record, limits and the chain's order.
#include <gtest/gtest.h>

#include "emulator/core/pin_pad.h"
#include "raw_line.h"
#include "records.h"

namespace korvex::emu {
namespace {

using namespace testing;

// Sends a request, expects ACK and one reply frame, and acknowledges it.
std::string Ask(RawLine& line, const std::string& text) {
  line.SendFrame(text);
  std::string out = line.Take();
  if (out.rfind(kAck, 0) != 0 || out.size() < 4) return "no reply to " + text;
  line.Ack();
  return out.substr(2, out.size() - 4);  // the reply's text
}

const std::string kEst1 = EstRecord(1, "A000000003", {"A0000000031", "A0000000032"},
                                    {{"A0000000031010", "VISA"}, {"A0000000032010", ""}});
const std::string kEst2 = EstRecord(2, "A000000004", {}, {{"A0000000041010", "MC"}});
const std::string kMvt2 = MvtRecord("5", "table5f3", "table5f4");
const std::string kVersion = VersionRecord("REF000000012", std::string(30, 'C'));

PadState OldTables() {
  PadState state;
  state.tables[kEstTable] = {"old est 1", "old est 2"};
  state.tables[kMvtTable] = {"old mvt"};
  return state;
}

TEST(Tables, FullUpdateKeepsEveryRecordByteForByte) {
  RawLine line(EmulatorConfig{}, OldTables());
  line.Connect();
  EXPECT_EQ(Ask(line, "D0101"), std::string("D0100") + FS + "002" + FS);
  EXPECT_EQ(Ask(line, "D0601000"), "D0600");
  EXPECT_EQ(Ask(line, "D0601000"), "D0600");
  EXPECT_EQ(Ask(line, "D0102"), std::string("D0100") + FS + "001" + FS);
  EXPECT_EQ(Ask(line, "D0602000"), "D0600");
  EXPECT_EQ(Ask(line, AddEst(kEst1)), "D0400");
  EXPECT_EQ(Ask(line, AddEst(kEst2)), "D0400");
  EXPECT_EQ(Ask(line, AddMvt(kMvtDefault)), "D0400");
  EXPECT_EQ(Ask(line, AddMvt(kMvt2)), "D0400");
  EXPECT_EQ(Ask(line, SaveVersion(kVersion)), "D0500");

  const PinPad& pad = line.emu.Pad();
  EXPECT_EQ(pad.Records(kEstTable), (std::vector<std::string>{kEst1, kEst2}));
  EXPECT_EQ(pad.Records(kMvtTable), (std::vector<std::string>{kMvtDefault, kMvt2}));
  EXPECT_EQ(pad.VersionRecord(), kVersion);
  EXPECT_TRUE(line.emu.Violations().empty()) << line.emu.ViolationSummary();

  // The D03 reply's fields 6 and 13, counted by FS over the whole frame.
  line.SendFrame("D0303001");
  const std::string reply = line.Take().substr(1);  // the frame
  EXPECT_EQ(reply, Frame("D0300" + kVersion));
  std::vector<size_t> fs;
  for (size_t i = 0; i < reply.size(); ++i)
    if (reply[i] == FS) fs.push_back(i);
  ASSERT_GE(fs.size(), 13u);
  EXPECT_EQ(reply.substr(fs[4] + 1, fs[5] - fs[4] - 1), "REF000000012");
  EXPECT_EQ(reply.substr(fs[11] + 1, fs[12] - fs[11] - 1), std::string(30, 'C'));
}

TEST(Tables, ReplyCodesOfAddAndSaveAreConfigurable) {
  EmulatorConfig config;
  config.replies.addReply = "D05";
  config.replies.saveReply = "D04";
  RawLine line(config);
  line.Connect();
  Ask(line, "D0101");
  Ask(line, "D0102");
  EXPECT_EQ(Ask(line, AddMvt(kMvtDefault)), "D0500");
  EXPECT_EQ(Ask(line, SaveVersion(kVersion)), "D0400");
}

TEST(Tables, TableLimitAnswersStatus11WithoutViolation) {
  EmulatorConfig config;
  config.limits.est = 1;
  RawLine line(config);
  line.Connect();
  Ask(line, "D0101");
  EXPECT_EQ(Ask(line, AddEst(kEst1)), "D0400");
  EXPECT_EQ(Ask(line, AddEst(kEst2)), "D0411");
  EXPECT_EQ(line.emu.Pad().Records(kEstTable).size(), 1u);
  EXPECT_TRUE(line.emu.Violations().empty()) << line.emu.ViolationSummary();
}

TEST(Tables, VersionNeverSavedAnswersAStatusOrAnEmptyRecord) {
  RawLine status;
  status.Connect();
  EXPECT_EQ(Ask(status, "D0303001"), "D0305");
  EmulatorConfig config;
  config.replies.missingVersion = MissingVersion::Empty;
  RawLine empty(config);
  empty.Connect();
  EXPECT_EQ(Ask(empty, "D0303001"), "D0300");
  EXPECT_TRUE(status.emu.Violations().empty() && empty.emu.Violations().empty());
}

TEST(Tables, TheChainsOrderIsEnforced) {
  RawLine line(EmulatorConfig{}, OldTables());
  line.Connect();
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

TEST(Tables, DuplicateRidIsRefused) {
  RawLine line;
  line.Connect();
  Ask(line, "D0101");
  Ask(line, AddEst(kEst1));
  const std::string again = EstRecord(2, "A000000003", {}, {{"A0000000031010", ""}});
  EXPECT_EQ(Ask(line, AddEst(again)), "D0409");
}

}  // namespace
}  // namespace korvex::emu
