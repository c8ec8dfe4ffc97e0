// Scenario files and the saved state: what they set, and refusals that name
// the field at fault.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "emulator/messages/record_layout.h"
#include "emulator/scenario/scenario.h"
#include "emulator/scenario/state_file.h"
#include "harness/repo_files.h"

namespace korvex::emu {
namespace {

TEST(Scenario, TheExampleLoadsWithWellFormedRecords) {
  const Scenario s = LoadScenario(korvex::testing::RepoPath("examples/pinpad-scenario.json"));
  EXPECT_EQ(s.config.faults.at(1).kind, FaultKind::Nak);
  const auto est = SplitFields(s.state.tables.at(kEstTable).at(0));
  const auto mvt = SplitFields(s.state.tables.at(kMvtTable).at(0));
  const auto version = SplitFields(s.state.tables.at(kVersionTable).at(0));
  ASSERT_TRUE(est && mvt && version);
  EXPECT_EQ(CheckEstRecord(*est, 1), std::nullopt);
  EXPECT_EQ(CheckMvtRecord(*mvt, 1), std::nullopt);
  EXPECT_EQ(CheckVersionRecord(*version), std::nullopt);
  EXPECT_EQ(s.state.cardProfile.tags.at("8200"), "5C00");  // one-byte tag written "82"
  EXPECT_EQ(s.config.cardholder.entry, CardEntry::Insert);
}

// Fields after "pad" apply over the pad it makes.
TEST(Scenario, PadCardCardholderAndDownloadFields) {
  const Scenario s = ParseScenario(R"({"pad": "brand-new",
    "card": {"present": true, "track2": "5413330089020011=2402101000", "aid": "a0000000041010",
             "tags": {"9f36": "00FF", "95": "8000000000"}, "secondAc": {"arc": "3035"}},
    "cardholder": {"entry": "swipe", "entryDelayMs": 0, "amountKey": "f1",
                   "pinStatus": "29", "bypassPin": true},
    "replies": {"serviceCodeNoChip": "21"},
    "download": {"blockSize": 70000, "enqAnswerAfter": 0}})");
  EXPECT_EQ(s.state.app, PadApp::Loader);
  EXPECT_FALSE(s.state.paymentInstalled);
  EXPECT_TRUE(s.state.card.present);
  const CardProfile& card = s.state.cardProfile;
  EXPECT_EQ(card.Pan(), "5413330089020011");
  EXPECT_FALSE(card.HasChip());
  EXPECT_EQ(card.expiry, "240229");  // the track's month, to its last day
  EXPECT_EQ(card.aid, "A0000000041010");
  EXPECT_EQ(card.tags.at("9F36"), "00FF");
  EXPECT_EQ(card.tags.at("9500"), "8000000000");
  EXPECT_EQ(card.tags.at("5F2D"), "6574656E");  // defaults stay
  EXPECT_EQ(card.secondAc.arc, "3035");
  EXPECT_EQ(card.secondAc.cid, "");
  const Cardholder& who = s.config.cardholder;
  EXPECT_EQ(who.entry, CardEntry::Swipe);
  EXPECT_EQ(who.entryDelayMs, 0);
  EXPECT_EQ(who.amountKey, "F1");
  EXPECT_EQ(who.pinStatus, "29");
  EXPECT_TRUE(who.bypassPin);
  EXPECT_EQ(s.config.replies.serviceCodeNoChip, "21");
  EXPECT_EQ(s.config.download.blockSize, 70000);
  EXPECT_EQ(s.config.download.enqAnswerAfter, 0);
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
      {R"({"card": {"track2": "4761739001010010D2712201"}})", "card.track2: expected PAN \"=\""},
      {R"({"card": {"track2": "47617390010=2712201"}})",
       "card.track2: PAN must be 12 to 19 digits"},
      {R"({"card": {"track2": "4761739001010010=27A2201"}})", "card.track2: after \"=\""},
      {R"({"card": {"expiry": "281231"}})", "card.expiry: YYMM differs from the track's 2712"},
      {R"({"card": {"expiry": "2712"}})", "card.expiry: expected YYMMDD"},
      {R"({"card": {"aid": "A00000"}})", "card.aid: expected 5 to 16 bytes"},
      {R"({"card": {"tags": {"9F2": "00"}}})", "card.tags.9F2: a tag is 2 or 4 hex digits"},
      {R"({"card": {"tags": {"95": "000"}}})", "card.tags.95: expected hex digits"},
      {R"({"card": {"firstAc": {"cid": "8080"}}})", "card.firstAc.cid: expected 0 to 1 bytes"},
      {R"({"card": {"signatureFlag": ""}})", "card.signatureFlag: expected one character"},
      {R"({"cardholder": {"entry": "tap"}})", "cardholder.entry: expected \"insert\""},
      {R"({"cardholder": {"amountKey": "Yes"}})", "cardholder.amountKey: expected hex digits"},
      {R"({"cardholder": {"pinStatus": "0"}})", "cardholder.pinStatus: expected a status"},
      {R"({"cardholder": {"pinDelayMs": -1}})", "cardholder.pinDelayMs: expected a value from 0"},
      {R"({"cardholder": {"pin": 1}})", "cardholder.pin: unknown field"},
      {R"({"replies": {"serviceCodeNoChip": "20"}})", "replies.serviceCodeNoChip: expected"},
      {R"({"pad": "new"})", "pad: expected \"brand-new\" or \"provisioned\""},
      {R"({"pad": "brand-new", "application": "payment"})", "application: a brand-new pad"},
      {R"({"download": {"enqAnswerAfter": -1}})", "download.enqAnswerAfter: expected a value"},
      {R"({"download": {"block": 1}})", "download.block: unknown field"},
      // Numbers past what the file's types hold name their field; none wraps to -1 ("never").
      {R"({"card": {"removalDelayMs": 18446744073709551615}})",
       "card.removalDelayMs: expected a value from -1"},
      {R"({"delays": {"ackTimeoutMs": 1e400}})",
       "delays.ackTimeoutMs: number 1e400 is too large for a double"},
      {R"({"faults": [{"kind": "nak"}, {"kind": "stall", "durationMs": -1e400}]})",
       "faults[1].durationMs: number -1e400 is too large"},
      {R"({"tables": {"est": ["a", 1e400]}})", "tables.est[1]: number 1e400"},
      // A key's control characters are spelled out: a NUL ended the printed message.
      {R"({"\u0000\u001cScheme1\u001cA00rder":true})",
       R"(\u0000\u001cScheme1\u001cA00rder: unknown field)"},
      {R"({"card": {"tags": {"9\u007f": "00"}}})", R"(card.tags.9\u007f: a tag is 2 or 4)"},
  };
  for (const auto& [text, message] : cases) {
    const std::string json = text;  // a lambda may not capture a structured binding in C++20
    EXPECT_THAT([&] { ParseScenario(json); },
                ::testing::ThrowsMessage<ScenarioError>(::testing::StartsWith(message)))
        << json;
    // The reader that returns its refusal gives the same one and sets nothing.
    Scenario kept;
    kept.state.paymentVersion = "kept";
    const auto refused = ReadScenario(json, kept);
    ASSERT_TRUE(refused) << json;
    EXPECT_THAT(refused->what(), ::testing::StartsWith(message));
    EXPECT_EQ(kept.state.paymentVersion, "kept");
  }
}

// Received files keep their header fields; their bytes are not saved.
TEST(StateFile, KeepsBinaryRecordsAndSettlesTheApplication) {
  PadState state = BrandNewPad();
  state.app = PadApp::Download;
  state.files["K1.EMV"] = {"OD", 3, "20240305070809", "abc"};
  state.paymentVersion = "version=1";
  state.tables[kEstTable] = {std::string("\0\x1C\xFF\x02", 4)};
  state.tables[kVersionTable] = {"\x1CREF\x1C"};
  PadState back;
  StateFromJson(StateToJson(state), back);
  EXPECT_EQ(back.app, PadApp::Loader);
  EXPECT_FALSE(back.paymentInstalled);
  EXPECT_EQ(back.paymentVersion, "version=1");
  const StoredFile& file = back.files.at("K1.EMV");
  EXPECT_EQ(file.type + std::to_string(file.size) + file.timestamp + file.data,
            "OD320240305070809");
  EXPECT_EQ(back.tables[kEstTable], state.tables[kEstTable]);
  EXPECT_EQ(back.tables[kVersionTable], state.tables[kVersionTable]);
  EXPECT_THROW(StateFromJson(R"({"est": 3})", back), ScenarioError);
  EXPECT_THROW(StateFromJson(R"({"files": [{"name": "k"}]})", back), ScenarioError);
  EXPECT_STREQ(ReadState(R"({"est": 3})", back)->what(), "est: expected an array of records");
  EXPECT_THAT(ReadState("{", back)->what(), ::testing::StartsWith("not valid JSON"));
  EXPECT_FALSE(ReadState(StateToJson(state), back));
}

}  // namespace
}  // namespace korvex::emu
