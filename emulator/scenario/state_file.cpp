#include "emulator/scenario/state_file.h"

#include <filesystem>
#include <fstream>
#include <sstream>

#include "emulator/scenario/json_fields.h"
#include "emulator/scenario/json_parse.h"
#include "emulator/scenario/scenario.h"

namespace korvex::emu {
namespace {

using namespace json_fields;
namespace fs = std::filesystem;

// {"hex": "..."}, built in place: an initializer list copies every value it
// holds into the document, and a saved pad holds one record a table row.
json HexRecord(const std::string& bytes) {
  json record(json::value_t::object);
  record["hex"] = ToHex(bytes);
  return record;
}

json HexList(const std::vector<std::string>* records) {
  json list(json::value_t::array);
  if (!records) return list;
  auto& items = list.get_ref<json::array_t&>();
  items.reserve(records->size());
  for (const auto& r : *records) items.push_back(HexRecord(r));
  return list;
}

void ReadList(const json& j, const std::string& path, std::vector<std::string>& into) {
  if (!j.is_array()) Fail(path, "expected an array of records");
  into.clear();
  for (size_t i = 0; i < j.size(); ++i)
    into.push_back(Bytes(j[i], path + "[" + std::to_string(i) + "]"));
}

// The received files' header fields; their bytes stay out of the state file.
json FileList(const std::map<std::string, StoredFile>& files) {
  json list = json::array();
  for (const auto& [name, f] : files) {
    list.push_back(
        {{"name", name}, {"type", f.type}, {"size", f.size}, {"timestamp", f.timestamp}});
  }
  return list;
}

void ReadFiles(const json& j, std::map<std::string, StoredFile>& into) {
  if (!j.is_array()) Fail("files", "expected an array of files");
  into.clear();
  for (size_t i = 0; i < j.size(); ++i) {
    const std::string path = "files[" + std::to_string(i) + "]";
    ExpectObject(j[i], path, {"name", "type", "size", "timestamp"});
    for (const char* key : {"name", "type", "size", "timestamp"}) {
      if (!j[i].contains(key)) Fail(Join(path, key), "missing");
    }
    StoredFile f;
    f.type = Text(j[i]["type"], Join(path, "type"));
    f.size = uint32_t(Integer(j[i]["size"], Join(path, "size"), 0, 0xFFFFFFFF));
    f.timestamp = Text(j[i]["timestamp"], Join(path, "timestamp"));
    into[Text(j[i]["name"], Join(path, "name"))] = std::move(f);
  }
}

void ApplyFields(json& j, PadState& state) {
  ExpectObject(
      j, "",
      {"application", "est", "mvt", "version", "paymentInstalled", "paymentVersion", "files"});
  if (j.contains("application")) {
    const auto app = AppFromName(Text(j["application"], "application"));
    if (!app || (*app != PadApp::Payment && *app != PadApp::Loader)) {
      Fail("application", "expected \"payment\" or \"loader\"");
    }
    state.app = *app;
  }
  if (j.contains("paymentInstalled")) {
    state.paymentInstalled = Bool(j["paymentInstalled"], "paymentInstalled");
  }
  if (j.contains("paymentVersion")) {
    state.paymentVersion = Text(j["paymentVersion"], "paymentVersion");
  }
  if (j.contains("files")) ReadFiles(j["files"], state.files);
  if (j.contains("est")) ReadList(j["est"], "est", state.tables[kEstTable]);
  if (j.contains("mvt")) ReadList(j["mvt"], "mvt", state.tables[kMvtTable]);
  if (j.contains("version")) {
    auto& version = state.tables[kVersionTable];
    version.clear();
    if (!j["version"].is_null()) version.push_back(Bytes(j["version"], "version"));
  }
}

}  // namespace

std::string StateFilePath(const std::string& dir) {
  return (fs::path(dir) / kStateFileName).string();
}

std::string StateToJson(const PadState& state) {
  json j;
  j["application"] = AppName(SettledApp(state.app));
  const auto records = [&](int table) -> const std::vector<std::string>* {
    const auto t = state.tables.find(table);
    return t == state.tables.end() ? nullptr : &t->second;
  };
  j["est"] = HexList(records(kEstTable));
  j["mvt"] = HexList(records(kMvtTable));
  const auto* version = records(kVersionTable);
  j["version"] = !version || version->empty() ? json(nullptr) : HexRecord(version->front());
  j["paymentInstalled"] = state.paymentInstalled;
  j["paymentVersion"] = state.paymentVersion;
  j["files"] = FileList(state.files);
  return j.dump(2) + "\n";
}

void StateFromJson(const std::string& jsonText, PadState& state) {
  json j = ParseJsonFields(jsonText);
  ApplyFields(j, state);
}

std::optional<ScenarioError> ReadState(const std::string& jsonText, PadState& state) {
  return ReadFields(jsonText, [&](json& j) { ApplyFields(j, state); });
}

bool LoadStateDir(const std::string& dir, PadState& state) {
  const fs::path file = StateFilePath(dir);
  if (!fs::exists(file)) return false;
  std::ifstream in(file, std::ios::binary);
  if (!in) throw ScenarioError("", "cannot read " + file.string());
  std::ostringstream text;
  text << in.rdbuf();
  StateFromJson(text.str(), state);
  return true;
}

void SaveStateDir(const std::string& dir, const PadState& state) {
  std::error_code ec;
  fs::create_directories(dir, ec);
  const fs::path file = StateFilePath(dir);
  const fs::path temp = fs::path(dir) / (std::string(kStateFileName) + ".tmp");
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    out << StateToJson(state);
    if (!out) throw std::runtime_error("cannot write " + temp.string());
  }
  fs::rename(temp, file, ec);
  if (ec) throw std::runtime_error("cannot replace " + file.string() + ": " + ec.message());
}

}  // namespace korvex::emu
