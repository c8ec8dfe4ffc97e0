#include "emulator/scenario/scenario.h"

#include <filesystem>
#include <fstream>
#include <limits>
#include <sstream>

#include "emulator/scenario/card_scenario.h"
#include "emulator/scenario/json_fields.h"
#include "emulator/scenario/json_parse.h"

namespace korvex::emu {
namespace {

using namespace json_fields;
constexpr int64_t kMaxMs = 24LL * 3600 * 1000;

void ReadApplication(const json& j, PadState& state) {
  const std::string name = Text(j, "application");
  const auto app = AppFromName(name);
  if (!app || (*app != PadApp::Payment && *app != PadApp::Loader)) {
    Fail("application", "expected \"payment\" or \"loader\"");
  }
  state.app = *app;
}

// "brand-new": the loader alone, waiting to be provisioned by a download.
void ReadPad(const json& j, PadState& state) {
  const std::string kind = Text(j, "pad");
  if (kind != "brand-new" && kind != "provisioned") {
    Fail("pad", "expected \"brand-new\" or \"provisioned\"");
  }
  if (kind == "brand-new") state = BrandNewPad();
}

void ReadDownload(const json& j, DownloadSettings& d) {
  ExpectObject(j, "download", {"blockSize", "enqAnswerAfter", "maxFileBytes"});
  // Out-of-range block sizes are allowed: the control must fall back on them.
  if (j.contains("blockSize")) {
    d.blockSize = Integer(j["blockSize"], "download.blockSize", -999999999, 999999999);
  }
  if (j.contains("enqAnswerAfter")) {
    d.enqAnswerAfter = int(Integer(j["enqAnswerAfter"], "download.enqAnswerAfter", 0, 1000));
  }
  if (j.contains("maxFileBytes")) {
    d.maxFileBytes = uint32_t(Integer(j["maxFileBytes"], "download.maxFileBytes", 0, 0xFFFFFFFF));
  }
}

void ReadRecords(const json& j, const std::string& path, std::vector<std::string>& records) {
  if (!j.is_array()) Fail(path, "expected an array of records");
  records.clear();
  for (size_t i = 0; i < j.size(); ++i) {
    records.push_back(Bytes(j[i], path + "[" + std::to_string(i) + "]"));
  }
}

void ReadTables(const json& j, PadState& state) {
  ExpectObject(j, "tables", {"est", "mvt"});
  if (j.contains("est")) ReadRecords(j["est"], "tables.est", state.tables[kEstTable]);
  if (j.contains("mvt")) ReadRecords(j["mvt"], "tables.mvt", state.tables[kMvtTable]);
}

void ReadLimits(const json& j, TableLimits& limits) {
  ExpectObject(j, "limits", {"est", "mvt"});
  if (j.contains("est")) limits.est = size_t(Integer(j["est"], "limits.est", 0, 999));
  if (j.contains("mvt")) limits.mvt = size_t(Integer(j["mvt"], "limits.mvt", 0, 999));
}

std::string ReplyCode(const json& j, const std::string& path) {
  const std::string code = Text(j, path);
  if (code != "D04" && code != "D05") Fail(path, "expected \"D04\" or \"D05\"");
  return code;
}

void ReadReplies(const json& j, ReplySettings& r) {
  ExpectObject(j, "replies",
               {"add", "save", "missingVersion", "missingVersionStatus", "p01Application",
                "serviceCodeNoChip"});
  if (j.contains("add")) r.addReply = ReplyCode(j["add"], "replies.add");
  if (j.contains("save")) r.saveReply = ReplyCode(j["save"], "replies.save");
  if (j.contains("missingVersion")) {
    const std::string how = Text(j["missingVersion"], "replies.missingVersion");
    if (how != "status" && how != "empty") {
      Fail("replies.missingVersion", "expected \"status\" or \"empty\"");
    }
    r.missingVersion = how == "status" ? MissingVersion::Status : MissingVersion::Empty;
  }
  if (j.contains("missingVersionStatus")) {
    r.missingVersionStatus = Status(j["missingVersionStatus"], "replies.missingVersionStatus");
  }
  if (j.contains("p01Application")) {
    r.p01Application = Status(j["p01Application"], "replies.p01Application");
  }
  if (j.contains("serviceCodeNoChip")) {
    r.serviceCodeNoChip = Text(j["serviceCodeNoChip"], "replies.serviceCodeNoChip");
    if (r.serviceCodeNoChip != "00" && r.serviceCodeNoChip != "21") {
      Fail("replies.serviceCodeNoChip", "expected \"00\" or \"21\"");
    }
  }
}

void ReadDelays(const json& j, Delays& d) {
  ExpectObject(j, "delays",
               {"loaderBootMs", "paymentStartMs", "processingMs", "perMessageMs", "ackTimeoutMs"});
  auto ms = [&](const char* key, int64_t& into, int64_t min) {
    if (j.contains(key)) into = Integer(j[key], Join("delays", key), min, kMaxMs);
  };
  ms("loaderBootMs", d.loaderBootMs, 0);
  ms("paymentStartMs", d.paymentStartMs, 0);
  ms("processingMs", d.processingMs, 0);
  ms("ackTimeoutMs", d.ackTimeoutMs, 1);
  if (j.contains("perMessageMs")) {
    const json& per = j["perMessageMs"];
    if (!per.is_object()) Fail("delays.perMessageMs", "expected an object");
    for (const auto& item : per.items()) {
      d.perMessageMs[item.key()] =
          Integer(item.value(), Join("delays.perMessageMs", item.key()), 0, kMaxMs);
    }
  }
}

void ReadLink(const json& j, LinkSettings& l) {
  ExpectObject(j, "link", {"resendLimit", "pace", "chunkSize", "chunkGapMs", "routerDefaultBaud"});
  if (j.contains("resendLimit"))
    l.resendLimit = int(Integer(j["resendLimit"], "link.resendLimit", 0, 100));
  if (j.contains("pace")) l.pace = Bool(j["pace"], "link.pace");
  if (j.contains("chunkSize"))
    l.chunkSize = size_t(Integer(j["chunkSize"], "link.chunkSize", 0, 65536));
  if (j.contains("chunkGapMs"))
    l.chunkGapMs = Integer(j["chunkGapMs"], "link.chunkGapMs", 0, kMaxMs);
  if (j.contains("routerDefaultBaud")) {
    l.routerDefaultBaud =
        int(Integer(j["routerDefaultBaud"], "link.routerDefaultBaud", 1, 1000000));
  }
}

FaultRule ReadFault(const json& j, const std::string& path) {
  ExpectObject(
      j, path,
      {"kind", "message", "occurrence", "count", "status", "durationMs", "probability", "seed"});
  if (!j.contains("kind")) Fail(Join(path, "kind"), "missing");
  FaultRule r;
  const auto kind = FaultKindFromName(Text(j["kind"], Join(path, "kind")));
  if (!kind) {
    Fail(Join(path, "kind"),
         "expected one of corruptCheck, corruptRandom, nak, dropAck, "
         "failStatus, stall, close");
  }
  r.kind = *kind;
  if (j.contains("message")) r.message = Text(j["message"], Join(path, "message"));
  if (j.contains("occurrence"))
    r.occurrence = int(Integer(j["occurrence"], Join(path, "occurrence"), 1, 1000000));
  if (j.contains("count")) r.count = int(Integer(j["count"], Join(path, "count"), 0, 1000000));
  if (j.contains("durationMs"))
    r.durationMs = Integer(j["durationMs"], Join(path, "durationMs"), 0, kMaxMs);
  if (j.contains("probability"))
    r.probability = Number(j["probability"], Join(path, "probability"), 0, 1);
  if (j.contains("seed"))
    r.seed =
        uint32_t(Integer(j["seed"], Join(path, "seed"), 0, std::numeric_limits<uint32_t>::max()));
  if (j.contains("status")) r.status = Status(j["status"], Join(path, "status"));
  if (r.kind == FaultKind::FailStatus && r.status.empty()) Fail(Join(path, "status"), "missing");
  if (r.kind == FaultKind::CorruptRandom && !j.contains("probability")) {
    Fail(Join(path, "probability"), "missing");
  }
  return r;
}

void ReadFaults(const json& j, std::vector<FaultRule>& faults) {
  if (!j.is_array()) Fail("faults", "expected an array");
  for (size_t i = 0; i < j.size(); ++i) {
    faults.push_back(ReadFault(j[i], "faults[" + std::to_string(i) + "]"));
  }
}

Scenario FromFields(json& j) {
  ExpectObject(j, "",
               {"pad", "application", "card", "cardholder", "version", "tables", "limits",
                "replies", "delays", "link", "download", "strictOrder", "faults"});
  Scenario s;
  if (j.contains("pad")) ReadPad(j["pad"], s.state);
  if (j.contains("application")) ReadApplication(j["application"], s.state);
  if (!s.state.paymentInstalled && s.state.app == PadApp::Payment) {
    Fail("application", "a brand-new pad has no payment application to run");
  }
  if (j.contains("card")) ReadCard(j["card"], s.state);
  if (j.contains("cardholder")) ReadCardholder(j["cardholder"], s.config.cardholder);
  if (j.contains("version") && !j["version"].is_null()) {
    s.state.tables[kVersionTable] = {Bytes(j["version"], "version")};
  }
  if (j.contains("tables")) ReadTables(j["tables"], s.state);
  if (j.contains("limits")) ReadLimits(j["limits"], s.config.limits);
  if (j.contains("replies")) ReadReplies(j["replies"], s.config.replies);
  if (j.contains("delays")) ReadDelays(j["delays"], s.config.delays);
  if (j.contains("link")) ReadLink(j["link"], s.config.link);
  if (j.contains("download")) ReadDownload(j["download"], s.config.download);
  if (j.contains("strictOrder")) s.config.strictOrder = Bool(j["strictOrder"], "strictOrder");
  if (j.contains("faults")) ReadFaults(j["faults"], s.config.faults);
  return s;
}

}  // namespace

Scenario ParseScenario(const std::string& jsonText) {
  json j = ParseJsonFields(jsonText);
  return FromFields(j);
}

std::optional<ScenarioError> ReadScenario(const std::string& jsonText, Scenario& into) {
  return ReadFields(jsonText, [&](json& j) { into = FromFields(j); });
}

Scenario LoadScenario(const std::string& path) {
  if (std::filesystem::is_directory(path)) throw ScenarioError("", "a folder, not a file");
  std::ifstream in(path, std::ios::binary);
  if (!in) throw ScenarioError("", "cannot open the file");
  std::ostringstream text;
  text << in.rdbuf();
  return ParseScenario(text.str());
}

}  // namespace korvex::emu
