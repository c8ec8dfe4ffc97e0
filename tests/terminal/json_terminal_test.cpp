// JsonTerminal: the example file, the answers it gives the control, and the
// refusal of broken files.
#include "korvex/json_terminal.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>

#include "control/korvex_impl.h"
#include "harness/recording_events.h"
#include "korvex/sim_host.h"

namespace korvex {
namespace {

using namespace std::string_literals;

const std::string kExample =
    (std::filesystem::path(__FILE__).parent_path().parent_path().parent_path() / "examples" /
     "terminal.json")
        .string();

std::unique_ptr<JsonTerminal> LoadExample() {
  std::string error;
  auto terminal = JsonTerminal::Load(kExample, error);
  EXPECT_TRUE(terminal) << error;
  EXPECT_EQ(error, "");
  return terminal;
}

TEST(JsonTerminal, ExampleAnswersTheTerminalCalls) {
  auto t = LoadExample();
  ASSERT_TRUE(t);
  EXPECT_EQ(t->getMyCountry() + t->getMyCurrency(), "233978");
  EXPECT_EQ(t->PINBypassAllowed(), std::optional<bool>(false));
  std::string value;
  int16_t index = 1;
  EXPECT_EQ(t->getTableField(1, index, 1, value), 0);
  EXPECT_EQ(value, "Kohvik \xD5un, P\xE4rnu");
  ASSERT_EQ(t->getERKCount(), 3);
  EXPECT_EQ(t->getERKID(index), "A000000003_92");
  EXPECT_EQ(t->getERKField(index, 7, value), 0);
  EXPECT_EQ(value, "\xA0\x00\x00\x00\x03"s);
  EXPECT_EQ(t->getERKField(index, 12, value), 0);
  EXPECT_EQ(value, "\xB0");
  EXPECT_EQ(t->getERKField(index, 9, value), 1);
  EXPECT_EQ(t->getTableRecordCount(4) * 10 + t->getTableRecordCount(5), 32);
  index = 3;
  EXPECT_EQ(t->getTableField(4, index, 3, value), 0);
  EXPECT_EQ(value, "A0000000041010");

  // Out of range: empty value, status 1.
  for (auto [table, rec, field] :
       {std::tuple{4, 4, 1}, {4, 0, 1}, {5, 1, 10}, {1, 1, 2}, {2, 1, 1}}) {
    index = static_cast<int16_t>(rec);
    value = "stale";
    EXPECT_EQ(t->getTableField(table, index, field, value), 1)
        << table << "/" << rec << "/" << field;
    EXPECT_EQ(value, "");
  }
  index = 4;
  EXPECT_EQ(t->getERKField(index, 7, value), 1);
  EXPECT_EQ(value + t->getERKID(index), "");
}

TEST(JsonTerminal, PolicyRules) {
  auto t = LoadExample();
  ASSERT_TRUE(t);
  auto aid = [&](std::string id, int16_t country) { return t->GetAIDPolicyID(id, country); };
  EXPECT_EQ(aid("A0000000031010", 233), 2);  // the first rule needs the issuer country
  EXPECT_EQ(aid("A0000000032010", 246), 1);
  EXPECT_EQ(aid("a0000000041010", 233), 1);
  EXPECT_EQ(aid("A0000000251010", 233), -1);
  bool found = false;
  std::string pan = "5150000000000001";
  EXPECT_EQ(t->GetPANPolicyID(pan, true, found), 2);
  EXPECT_TRUE(found);
  for (std::string miss : {"5200000000000000", "51", "51x9"}) {
    EXPECT_EQ(t->GetPANPolicyID(miss, true, found), -1) << miss;
    EXPECT_FALSE(found);
  }
  int16_t policy = 2;
  EXPECT_EQ(t->GetPolicyIndex(policy), 2);
  policy = 7;
  EXPECT_EQ(t->GetPolicyIndex(policy), 0);
}

TEST(JsonTerminal, ExampleBuildsTheTableRecords) {
  auto t = LoadExample();
  ASSERT_TRUE(t);
  SimHost host;
  testing::RecordingEvents events;
  Korvex::Impl control(host, events);
  ASSERT_EQ(control.setTerminalObject(*t), 0);
  EXPECT_EQ(control.TableReference, "261201261201");
  EXPECT_EQ(control.ERKChecksum, "78BF4B1B7783272CC0A9AFB08014E9");
  EXPECT_EQ(control.BuildESTRecords(), -1);
  EXPECT_EQ(control.ESTRecords.size(), 3u);
  EXPECT_EQ(control.BuildMVTRecords(), -1);
  EXPECT_EQ(control.MVTRecords.size(), 4u);
}

// The smallest valid configuration; each case below breaks one thing.
nlohmann::json Minimal() {
  return nlohmann::json::parse(R"({
    "terminal": {"country": 233, "currency": "978", "terminal_id": "T", "merchant_id": "M",
                 "acquirer_id": "A", "table1_field1": "X"},
    "table4": {"reference": "A4261201", "records": [["V", "14", "A0000000031010"]]},
    "table5": {"reference": "M5261201", "records": [["D", "0"]]},
    "ca_keys": [{"id": "K", "field7": "A000000003", "field8": "92", "field12": "02",
                 "field14": "C0FF", "field13": "01", "field15": "03", "_note": "test key"}],
    "policies": {"table5_records": [{"policy": 1, "record": 1}]}
  })");
}

TEST(JsonTerminal, BrokenFilesAreRefusedWithFileFieldAndFault) {
  std::string error;
  ASSERT_TRUE(JsonTerminal::FromText(Minimal().dump(), "t.json", error)) << error;

  using Patch = std::pair<std::string, nlohmann::json>;  // JSON pointer, new value (null: remove)
  const std::vector<std::pair<Patch, std::string>> cases = {
      {{"/terminal/terminal_id", nullptr}, "terminal.terminal_id: missing"},
      {{"/terminal/merchant_id", 5}, "terminal.merchant_id: expected a string"},
      {{"/terminal/country", "EE"}, "terminal.country: not a numeric code of 1 to 4 digits"},
      {{"/terminal/currency", 10000}, "terminal.currency: out of range (0 to 9999)"},
      {{"/terminal/tid", "1"}, "terminal.tid: unknown field"},
      {{"/table4/records/0/1", 14}, "table4.records[0][1]: expected a string"},
      {{"/table5", nullptr}, "table5: missing"},
      {{"/ca_keys/0/field14", "C0FG"}, "ca_keys[0].field14: not hexadecimal"},
      {{"/ca_keys/0/field8", "920"}, "ca_keys[0].field8: odd number of hexadecimal digits"},
      {{"/ca_keys/0/field7", "A0000000"}, "ca_keys[0].field7: must be 5 bytes, not 4"},
      {{"/ca_keys/0/field12", "0102"}, "ca_keys[0].field12: must be 1 byte, not 2"},
      {{"/ca_keys/0/field15", "0301"}, "ca_keys[0].field15: 2 bytes where field13 says 1"},
      {{"/policies/table5_records/0/record", 2},
       "policies.table5_records[0].record: bad index 2: table5 has 1 records"},
      {{"/policies/pan_ranges", nlohmann::json::parse(R"([{"low":"52","high":"510","policy":1}])")},
       "policies.pan_ranges[0].high: not as long as low"},
      {{"/pin_bypass", "yes"}, "pin_bypass: expected true, false or null"},
  };
  for (const auto& [patch, message] : cases) {
    nlohmann::json doc = Minimal();
    const nlohmann::json::json_pointer at(patch.first);
    if (patch.second.is_null()) {
      doc[at.parent_pointer()].erase(at.back());
    } else {
      doc[at] = patch.second;
    }
    error.clear();
    EXPECT_FALSE(JsonTerminal::FromText(doc.dump(), "t.json", error)) << patch.first;
    EXPECT_EQ(error, "t.json: " + message);
  }

  EXPECT_FALSE(JsonTerminal::FromText("{\"terminal\": ", "t.json", error));
  EXPECT_EQ(error.rfind("t.json: parse error at line 1, column 14", 0), 0u) << error;
  EXPECT_FALSE(JsonTerminal::Load("/nonexistent/terminal.json", error));
  EXPECT_EQ(error, "/nonexistent/terminal.json: cannot be opened");
}

TEST(JsonTerminal, TextsReachTheControlInTheCodePage) {
  nlohmann::json doc = Minimal();
  doc["terminal"]["merchant_id"] = "Õun € Я";
  std::string error;
  auto t = JsonTerminal::FromText(doc.dump(), "t.json", error);
  ASSERT_TRUE(t) << error;
  EXPECT_EQ(t->getMerchantID(), "\xD5un \x80 ?");
}

}  // namespace
}  // namespace korvex
