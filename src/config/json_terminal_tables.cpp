// The table builders take table 4 fields 2, 3 and 6, table 5 fields 2 to 7
// and 9, and one EST record per card scheme (RID) naming the scheme's CA key
// files. Every condition under which they would fail or build a record the PIN
// pad refuses is checked here, against the same texts the control will read.
#include "config/json_terminal_tables.h"

#include <map>
#include <string>
#include <vector>

#include "support/conversions.h"

namespace korvex {
namespace {

constexpr size_t kAidFields = 6;
constexpr size_t kMvtFields = 9;
constexpr size_t kRidDigits = 10;
constexpr size_t kMaxAidDigits = 32;  // an AID is 5 to 16 bytes
constexpr size_t kKeySlots = 15;
constexpr size_t kAidSlots = 10;
// A record travels with a three-digit length.
constexpr size_t kMaxRecordBytes = 999;

std::string Field(const std::string& table, size_t record, size_t field) {
  return table + ".records[" + std::to_string(record) + "][" + std::to_string(field) + "]";
}
std::string Record(const std::string& table, size_t record) {
  return table + ".records[" + std::to_string(record) + "]";
}

bool IsUpperHex(const std::string& text) {
  for (char c : text) {
    if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'))) return false;
  }
  return true;
}

std::string TrimBlanks(const std::string& text) {
  const auto first = text.find_first_not_of(' ');
  if (first == std::string::npos) return "";
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

std::optional<ConfigFault> ShortRecord(const std::string& table, size_t r, size_t size,
                                       size_t needed) {
  if (size >= needed) return std::nullopt;
  return ConfigFault{Record(table, r), std::to_string(size) + " fields; a record of " + table +
                                           " needs at least " + std::to_string(needed)};
}

// One card scheme: the bytes its EST record takes beyond the fixed part.
struct Scheme {
  size_t keys = 0;
  size_t aids = 0;
  size_t bytes = 0;
};

// The AID of a table-4 record, as the EST builder cuts it from fields 2 and 3.
std::optional<ConfigFault> CheckAid(const std::vector<std::string>& f, size_t r, std::string& aid) {
  const std::string& length = f[1];
  const std::string& field3 = f[2];
  if (!IsUpperHex(field3) || field3.size() < kRidDigits) {
    return ConfigFault{Field("table4", r, 2), "not an AID: at least 10 upper-case hex digits"};
  }
  const int32_t digits = IsDigits(length) && length.size() <= 2 ? std::stoi(length) : -1;
  if (digits < int32_t{kRidDigits} || digits > int32_t{kMaxAidDigits} || digits % 2 != 0) {
    return ConfigFault{Field("table4", r, 1), "not an AID length: an even number 10 to 32"};
  }
  if (static_cast<size_t>(digits) > field3.size()) {
    return ConfigFault{Field("table4", r, 1),
                       "AID length " + length + " is longer than field 3's AID"};
  }
  aid = field3.substr(0, static_cast<size_t>(digits));
  return std::nullopt;
}

// Fixed part of an EST record: a zero byte, "Scheme" and its number, the RID,
// 71 field separators, the free slots' markers and four 0xFF bytes.
size_t EstFixedBytes(size_t position, const Scheme& s) {
  return 1 + 6 + std::to_string(position).size() + kRidDigits + 71 + (kAidSlots - s.aids) + 4;
}

std::optional<ConfigFault> CheckSchemes(const JsonTerminal::Config& c,
                                        std::map<std::string, Scheme>& schemes,
                                        const std::vector<std::string>& order) {
  for (size_t k = 0; k < c.caKeys.size(); ++k) {
    const auto it = schemes.find(AsciiToHex(c.caKeys[k].fields.at(7)));
    if (it == schemes.end()) continue;
    if (++it->second.keys > kKeySlots) {
      return ConfigFault{"ca_keys[" + std::to_string(k) + "].field7",
                         "scheme " + it->first + " has more than 15 CA keys"};
    }
    it->second.bytes += c.caKeys[k].id.size() + 4;  // "<id>.EMV"
  }
  for (size_t i = 0; i < order.size(); ++i) {
    const Scheme& s = schemes.at(order[i]);
    if (s.keys == 0) {
      return ConfigFault{"table4", "scheme " + order[i] + " has no CA key in ca_keys"};
    }
    const size_t bytes = EstFixedBytes(i + 1, s) + s.bytes;
    if (bytes > kMaxRecordBytes) {
      return ConfigFault{"table4", "the EST record of scheme " + order[i] + " would be " +
                                       std::to_string(bytes) + " bytes, more than 999"};
    }
  }
  return std::nullopt;
}

std::optional<ConfigFault> CheckAidTable(const JsonTerminal::Config& c) {
  std::map<std::string, Scheme> schemes;
  std::vector<std::string> order;  // schemes in table order, as the EST records go
  const auto& records = c.aidTable.records;
  for (size_t r = 0; r < records.size(); ++r) {
    if (auto fault = ShortRecord("table4", r, records[r].size(), kAidFields)) return fault;
    std::string aid;
    if (auto fault = CheckAid(records[r], r, aid)) return fault;
    const std::string rid = aid.substr(0, kRidDigits);
    if (!schemes.contains(rid)) order.push_back(rid);
    Scheme& scheme = schemes[rid];
    if (++scheme.aids > kAidSlots) {
      return ConfigFault{Field("table4", r, 2), "scheme " + rid + " has more than 10 AIDs"};
    }
    // AID, the slot marker, the scheme version twice and field 6, trimmed.
    scheme.bytes += aid.size() + 1 + 8 + TrimBlanks(records[r][5]).size();
  }
  return CheckSchemes(c, schemes, order);
}

// Fields 2, 6, 7 and 9 are checked by the MVT builder as numbers; the record
// carries fields 3 to 5 and the identity texts, within the length it travels with.
std::optional<ConfigFault> CheckMvtTable(const JsonTerminal::Config& c) {
  const auto& records = c.mvtTable.records;
  for (size_t r = 0; r < records.size(); ++r) {
    if (auto fault = ShortRecord("table5", r, records[r].size(), kMvtFields)) return fault;
    for (const size_t field : {2, 6, 7, 9}) {
      if (!IsNumeric(records[r][field - 1])) {
        return ConfigFault{Field("table5", r, field - 1), "not a number"};
      }
    }
  }
  return std::nullopt;
}

}  // namespace

std::optional<ConfigFault> CheckTableRecords(const JsonTerminal::Config& config) {
  if (auto fault = CheckAidTable(config)) return fault;
  return CheckMvtTable(config);
}

}  // namespace korvex
