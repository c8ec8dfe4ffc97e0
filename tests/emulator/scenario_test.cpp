// Scenario files and the saved state: what they set, and refusals that name
// the field at fault.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "emulator/messages/record_layout.h"
#include "emulator/scenario/scenario.h"
#include "emulator/scenario/state_file.h"

namespace korvex::emu {
namespace {

TEST(Scenario, TheExampleLoadsWithWellFormedRecords) {
  const Scenario s = LoadScenario(std::filesystem::path(__FILE__).parent_path().string() +
                                  "/../../examples/pinpad-scenario.json");
  EXPECT_EQ(s.config.faults.at(1).kind, FaultKind::Nak);
  const auto est = SplitFields(s.state.tables.at(kEstTable).at(0));
  const auto mvt = SplitFields(s.state.tables.at(kMvtTable).at(0));
  const auto version = SplitFields(s.state.tables.at(kVersionTable).at(0));
  ASSERT_TRUE(est && mvt && version);
  EXPECT_EQ(CheckEstRecord(*est, 1), std::nullopt);
  EXPECT_EQ(CheckMvtRecord(*mvt, 1), std::nullopt);
  EXPECT_EQ(CheckVersionRecord(*version), std::nullopt);
}

TEST(Scenario, RefusalsNameTheField) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {R"({"card": {"present": "yes"}})", "card.present: expected a boolean"},
      {R"({"application": "emv"})", "application: expected \"payment\" or \"loader\""},
      {R"({"faults": [{"kind": "nak"}, {"kind": "explode"}]})", "faults[1].kind: expected one of"},
      {R"({"faults": [{"kind": "failStatus", "message": "D04"}]})", "faults[0].status: missing"},
      {R"({"tables": {"est": [{"hex": "1C0"}]}})", "tables.est[0].hex: hex text of odd length"},
      {R"({"tables": {"mvt": ["\u0100"]}})", "tables.mvt[0]: characters above U+00FF"},
      {R"({"delays": {"ackTimeoutMs": 0}})", "delays.ackTimeoutMs: expected a value from 1"},
      {R"({"replies": {"add": "D06"}})", "replies.add: expected \"D04\" or \"D05\""},
      {R"({"link": {"pase": true}})", "link.pase: unknown field"},
      {R"({"card": )", "not valid JSON"},
  };
  for (const auto& [json, message] : cases) {
    EXPECT_THAT([&] { ParseScenario(json); },
                ::testing::ThrowsMessage<ScenarioError>(::testing::StartsWith(message)))
        << json;
  }
}

TEST(StateFile, KeepsBinaryRecordsAndSettlesTheApplication) {
  PadState state;
  state.app = PadApp::LoaderBooting;
  state.tables[kEstTable] = {std::string("\0\x1C\xFF\x02", 4)};
  state.tables[kVersionTable] = {"\x1CREF\x1C"};
  PadState back;
  StateFromJson(StateToJson(state), back);
  EXPECT_EQ(back.app, PadApp::Loader);
  EXPECT_EQ(back.tables[kEstTable], state.tables[kEstTable]);
  EXPECT_EQ(back.tables[kVersionTable], state.tables[kVersionTable]);
  EXPECT_THROW(StateFromJson(R"({"est": 3})", back), ScenarioError);
}

}  // namespace
}  // namespace korvex::emu
