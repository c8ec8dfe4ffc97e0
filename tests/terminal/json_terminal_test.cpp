// JsonTerminal: the example file's answers and the refusal of broken files.
#include "korvex/json_terminal.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "harness/repo_files.h"

namespace korvex {
namespace {

using namespace std::string_literals;

TEST(JsonTerminal, ExampleAnswersTheTerminalCalls) {
  std::string error;
  auto t = JsonTerminal::Load(testing::RepoPath("examples/terminal.json"), error);
  ASSERT_TRUE(t) << error;
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
  EXPECT_EQ(t->getERKField(index, 9, value), 1);
  EXPECT_EQ(t->getTableRecordCount(4) * 10 + t->getTableRecordCount(5), 32);
  index = 3;
  EXPECT_EQ(t->getTableField(4, index, 3, value), 0);
  EXPECT_EQ(value, "A0000000041010");
  // Out of range: empty value, status 1.
  for (auto [table, rec, field] : {std::tuple{4, 4, 1}, {4, 0, 1}, {5, 1, 10}, {2, 1, 1}}) {
    index = static_cast<int16_t>(rec);
    value = "stale";
    EXPECT_EQ(t->getTableField(table, index, field, value), 1) << table << "/" << rec;
    EXPECT_EQ(value, "");
  }

  // The first AID rule also needs the issuer country; PAN ranges compare digits.
  std::string aid = "A0000000031010", pan = "5150000000000001";
  int16_t country = 233, policy = 2;
  bool found = false;
  EXPECT_EQ(t->GetAIDPolicyID(aid, country), 2);
  country = 246;
  EXPECT_EQ(t->GetAIDPolicyID(aid, country), 1);
  EXPECT_EQ(t->GetPANPolicyID(pan, true, found), 2);
  EXPECT_TRUE(found);
  pan = "51x9";
  EXPECT_EQ(t->GetPANPolicyID(pan, true, found), -1);
  EXPECT_FALSE(found);
  EXPECT_EQ(t->GetPolicyIndex(policy), 2);
  // A card no rule matches has policy 0; an unmapped policy gets its record.
  for (int16_t id : {0, 7}) {
    policy = id;
    EXPECT_EQ(t->GetPolicyIndex(policy), 1) << id;
  }
}

TEST(JsonTerminal, BrokenFilesAreRefusedWithFileFieldAndFault) {
  // The smallest valid configuration; each case breaks one thing.
  const nlohmann::json minimal = nlohmann::json::parse(R"({
    "terminal": {"country": 233, "currency": "978", "terminal_id": "T", "merchant_id": "M",
                 "acquirer_id": "A", "table1_field1": "X"},
    "table4": {"reference": "A4261201", "records": [["V", "14", "A0000000031010", "", "", "V"]]},
    "table5": {"reference": "M5261201", "records": [["D", "0", "", "", "", "0", "0", "", "0"]]},
    "ca_keys": [{"id": "K", "field7": "A000000003", "field8": "92", "field12": "02",
                 "field14": "C0FF", "field13": "01", "field15": "03"}],
    "policies": {"table5_records": [{"policy": 1, "record": 1}]}
  })");
  std::string error;
  ASSERT_TRUE(JsonTerminal::FromText(minimal.dump(), "t.json", error)) << error;
  // Tables and keys that load but could not be built into the pad's records.
  const auto key = minimal["ca_keys"][0];
  auto keys = [&](int n, size_t idLength) {
    nlohmann::json list = nlohmann::json::array();
    for (int i = 0; i < n; ++i) {
      list.push_back(key);
      list.back()["id"] = std::string(idLength - 2, 'K') + std::to_string(10 + i);
    }
    return list;
  };
  const auto aids = nlohmann::json(std::vector(11, minimal["table4"]["records"][0]));
  const struct {
    const char* at;
    nlohmann::json value;  // null: remove
    const char* message;
  } cases[] = {
      {"/terminal/terminal_id", nullptr, "terminal.terminal_id: missing"},
      {"/terminal/currency", 10000, "terminal.currency: out of range (0 to 9999)"},
      {"/terminal/tid", "1", "terminal.tid: unknown field"},
      {"/table4/records/0/1", 14, "table4.records[0][1]: expected a string"},
      {"/ca_keys/0/field14", "C0FG", "ca_keys[0].field14: not hexadecimal"},
      {"/ca_keys/0/field15", "0301", "ca_keys[0].field15: 2 bytes where field13 says 1"},
      {"/policies/table5_records/0/record", 2,
       "policies.table5_records[0].record: bad index 2: table5 has 1 records"},
      {"/policies/table5_records/0/record", 0,
       "policies.table5_records[0].record: bad index 0: table5 has 1 records"},
      {"/policies/aid", nlohmann::json::parse(R"([{"aid": "A0", "policy": 3}])"),
       "policies.aid[0].policy: policy 3 has no record in policies.table5_records"},
      {"/policies/pan_ranges", nlohmann::json::parse(R"([{"low": "4", "high": "5", "policy": 3}])"),
       "policies.pan_ranges[0].policy: policy 3 has no record in policies.table5_records"},
      {"/table5/records", nlohmann::json::array(),
       "table5.records: empty: a card's policy needs a record of table5"},
      {"/table5/records/0/1", "12a", "table5.records[0][1]: not a number"},
      {"/table5/records/0/8", "", "table5.records[0][8]: not a number"},
      {"/table5/records/0", nlohmann::json::array({"D"}),
       "table5.records[0]: 1 fields; a record of table5 needs at least 9"},
      {"/table4/records/0", nlohmann::json::array(),
       "table4.records[0]: 0 fields; a record of table4 needs at least 6"},
      {"/table4/records/0/1", "13",
       "table4.records[0][1]: not an AID length: an even number 10 to 32"},
      {"/table4/records/0/1", "16",
       "table4.records[0][1]: AID length 16 is longer than field 3's AID"},
      {"/table4/records/0/2", "a0000000031010",
       "table4.records[0][2]: not an AID: at least 10 upper-case hex digits"},
      {"/table4/records/0/2", "A0000000051010",
       "table4: scheme A000000005 has no CA key in ca_keys"},
      {"/table4/records", aids, "table4.records[10][2]: scheme A000000003 has more than 10 AIDs"},
      {"/ca_keys", keys(16, 8), "ca_keys[15].field7: scheme A000000003 has more than 15 CA keys"},
      {"/ca_keys", keys(15, 64),
       "table4: the EST record of scheme A000000003 would be 1146 bytes, more than 999"},
      {"/table4/reference", "A42612", "table4.reference: shorter than 8 characters"},
      {"/terminal/terminal_id",
       "T\x1c"
       "1",
       "terminal.terminal_id: control character U+001C"},
      {"/terminal/terminal_id", "T\t", "terminal.terminal_id: control character U+0009"},
      {"/terminal/merchant_id", std::string(65, 'M'),
       "terminal.merchant_id: longer than 64 characters"},
      {"/terminal/acquirer_id", std::string(2 << 20, 'A'),
       "terminal.acquirer_id: longer than 64 characters"},
      {"/table4/records/0/5", "\u4E2D",
       "table4.records[0][5]: U+4E2D is not in the PIN pad's code page (Windows-1257)"},
      {"/terminal/table1_field1", "\u00C0",
       "terminal.table1_field1: U+00C0 is not in the PIN pad's code page (Windows-1257)"},
  };
  for (const auto& c : cases) {
    nlohmann::json doc = minimal;
    const nlohmann::json::json_pointer at(c.at);
    if (c.value.is_null()) {
      doc[at.parent_pointer()].erase(at.back());
    } else {
      doc[at] = c.value;
    }
    EXPECT_FALSE(JsonTerminal::FromText(doc.dump(), "t.json", error)) << c.at;
    EXPECT_EQ(error, "t.json: "s + c.message);
  }
  // Text that is not JSON gets the parser's own message, whole.
  const std::pair<std::string, std::string> notJson[] = {
      {"{\"terminal\": ",
       "parse error at line 1, column 14: syntax error while parsing value - unexpected end of "
       "input; expected '[', '{', or a literal"},
      {"{} x",
       "parse error at line 1, column 4: syntax error while parsing value - invalid literal; "
       "last read: '{} x'; expected end of input"},
      {"[1e400]", "number overflow parsing '1e400'"},
  };
  for (const auto& [text, message] : notJson) {
    EXPECT_FALSE(JsonTerminal::FromText(text, "t.json", error)) << text;
    EXPECT_EQ(error, "t.json: " + message);
  }
  EXPECT_FALSE(JsonTerminal::Load("/nonexistent/terminal.json", error));
  EXPECT_EQ(error, "/nonexistent/terminal.json: cannot be opened");
}

}  // namespace
}  // namespace korvex
