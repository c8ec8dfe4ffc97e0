// JsonTerminal: answers the control's terminal-object calls from a
// configuration read once from a JSON file.
#include "korvex/json_terminal.h"

#include <fstream>
#include <sstream>
#include <utility>

#include "config/json_terminal_reader.h"

namespace korvex {
namespace {

constexpr int16_t kNotFound = 1;

std::string UpperCase(std::string text) {
  for (char& c : text) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return text;
}

bool AllDigits(const std::string& text) {
  for (char c : text) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

}  // namespace

std::unique_ptr<JsonTerminal> JsonTerminal::Load(const std::string& path, std::string& error) {
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    error = path + ": cannot be opened";
    return nullptr;
  }
  std::ostringstream text;
  text << file.rdbuf();
  if (file.bad()) {
    error = path + ": cannot be read";
    return nullptr;
  }
  return FromText(text.str(), path, error);
}

std::unique_ptr<JsonTerminal> JsonTerminal::FromText(const std::string& text,
                                                     const std::string& sourceName,
                                                     std::string& error) {
  Config config;
  if (!ReadTerminalConfig(text, sourceName, config, error)) return nullptr;
  error.clear();
  return std::make_unique<JsonTerminal>(std::move(config));
}

JsonTerminal::JsonTerminal(Config config) : config_(std::move(config)) {}

const JsonTerminal::CaKey* JsonTerminal::KeyByIndex(int16_t KeyIndex) const {
  if (KeyIndex < 1 || static_cast<size_t>(KeyIndex) > config_.caKeys.size()) return nullptr;
  return &config_.caKeys[static_cast<size_t>(KeyIndex) - 1];
}

int16_t JsonTerminal::getERKCount() {
  return static_cast<int16_t>(config_.caKeys.size());
}

std::string JsonTerminal::getERKID(int16_t& KeyIndex) {
  const CaKey* key = KeyByIndex(KeyIndex);
  return key ? key->id : "";
}

int16_t JsonTerminal::getERKField(int16_t& KeyIndex, int16_t FieldNumber, std::string& Value) {
  Value.clear();
  const CaKey* key = KeyByIndex(KeyIndex);
  if (!key) return kNotFound;
  const auto it = key->fields.find(FieldNumber);
  if (it == key->fields.end()) return kNotFound;
  Value = it->second;
  return 0;
}

// Table 1 is the terminal table, of which only record 1 field 1 exists.
const JsonTerminal::Table* JsonTerminal::TableByNumber(int16_t TableNumber) const {
  switch (TableNumber) {
    case 4: return &config_.aidTable;
    case 5: return &config_.mvtTable;
    default: return nullptr;
  }
}

int16_t JsonTerminal::getTableRecordCount(int16_t TableNumber) {
  if (TableNumber == 1) return 1;
  const Table* table = TableByNumber(TableNumber);
  return table ? static_cast<int16_t>(table->records.size()) : 0;
}

int16_t JsonTerminal::getTableField(int16_t TableNumber, int16_t& Record, int16_t FieldNumber,
                                    std::string& Value) {
  Value.clear();
  if (TableNumber == 1) {
    if (Record != 1 || FieldNumber != 1) return kNotFound;
    Value = config_.table1Field1;
    return 0;
  }
  const Table* table = TableByNumber(TableNumber);
  if (!table || Record < 1 || static_cast<size_t>(Record) > table->records.size()) {
    return kNotFound;
  }
  const auto& fields = table->records[static_cast<size_t>(Record) - 1];
  if (FieldNumber < 1 || static_cast<size_t>(FieldNumber) > fields.size()) return kNotFound;
  Value = fields[static_cast<size_t>(FieldNumber) - 1];
  return 0;
}

void JsonTerminal::GetTableReferenceNumber(int16_t TableNumber, std::string& Reference) {
  const Table* table = TableByNumber(TableNumber);
  Reference = table ? table->reference : "";
}

// A rule's AID is a prefix of the card's AID (compared in upper case).
int16_t JsonTerminal::GetAIDPolicyID(std::string& AID, int16_t& IssuerCountry) {
  const std::string aid = UpperCase(AID);
  for (const auto& rule : config_.aidRules) {
    if (aid.compare(0, rule.aidPrefix.size(), rule.aidPrefix) != 0) continue;
    if (rule.issuerCountry && *rule.issuerCountry != IssuerCountry) continue;
    return rule.policy;
  }
  return -1;
}

// Bounds of equal length compare as numbers when compared as texts.
int16_t JsonTerminal::GetPANPolicyID(std::string& PAN, bool /*Flag*/, bool& Found) {
  Found = false;
  for (const auto& range : config_.panRanges) {
    if (PAN.size() < range.low.size()) continue;
    const std::string lead = PAN.substr(0, range.low.size());
    if (!AllDigits(lead) || lead < range.low || lead > range.high) continue;
    Found = true;
    return range.policy;
  }
  return -1;
}

// An unmapped policy gets the record of policy 0, the policy of a card that
// no rule matches (the loader always maps it).
int16_t JsonTerminal::GetPolicyIndex(int16_t& PolicyID) {
  for (const int16_t policy : {PolicyID, int16_t{0}}) {
    const auto it = config_.policyRecords.find(policy);
    if (it != config_.policyRecords.end()) return it->second;
  }
  return 0;
}

std::optional<bool> JsonTerminal::PINBypassAllowed() {
  return config_.pinBypass;
}
std::string JsonTerminal::getMyCountry() {
  return config_.country;
}
std::string JsonTerminal::getMyCurrency() {
  return config_.currency;
}
std::string JsonTerminal::getTerminalID() {
  return config_.terminalId;
}
std::string JsonTerminal::getMerchantID() {
  return config_.merchantId;
}
std::string JsonTerminal::getAIID() {
  return config_.acquirerId;
}

}  // namespace korvex
