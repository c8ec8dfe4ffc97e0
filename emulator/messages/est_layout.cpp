// EST record: one byte 0x00; "Scheme" and the record's number; the RID in 10
// hex digits; empty; 15 key-file slots ("<key id>.EMV", used slots first);
// 10 AID slots of 5 fields (used slots first); four bytes 0xFF; empty.
#include "emulator/messages/message_checks.h"
#include "emulator/messages/record_layout.h"

namespace korvex::emu {
namespace {

constexpr int kKeySlots = 15;
constexpr int kAidSlots = 10;
constexpr int kFirstKey = 4;   // 0-based field index of key slot 1
constexpr int kFirstAid = 19;  // 0-based field index of AID slot 1
const std::string kAidUsed = "\x02";
const std::string kAidFree = "\x01";

std::string Field(int index) {
  return "field " + std::to_string(index + 1);
}

std::optional<std::string> CheckKeySlots(const std::vector<std::string>& f) {
  bool free = false;
  for (int i = kFirstKey; i < kFirstKey + kKeySlots; ++i) {
    if (f[i].empty()) {
      free = true;
      continue;
    }
    if (free) return Field(i) + ": key slot used after an empty one";
    const std::string ext = ".EMV";
    if (f[i].size() <= ext.size() || f[i].compare(f[i].size() - ext.size(), ext.size(), ext) != 0) {
      return Field(i) + ": key slot must be a key identifier followed by \".EMV\"";
    }
  }
  return std::nullopt;
}

std::optional<std::string> CheckUsedAid(const std::vector<std::string>& f, int at,
                                        const std::string& rid) {
  const std::string version = rid == "A000000003" ? "0084" : "0002";
  if (!AllHex(f[at]) || f[at].size() < 10 || f[at].compare(0, 10, rid) != 0) {
    return Field(at) + ": AID must be hex digits starting with the record's RID";
  }
  if (f[at + 1] != kAidUsed) return Field(at + 1) + ": a used AID slot carries 0x02";
  if (f[at + 2] != version || f[at + 3] != version) {
    return Field(at + 2) + ": scheme version must be \"" + version + "\" twice";
  }
  const std::string& v = f[at + 4];
  if (!v.empty() && (v.front() == ' ' || v.back() == ' ')) {
    return Field(at + 4) + ": value must have no leading or trailing blanks";
  }
  return std::nullopt;
}

std::optional<std::string> CheckAidSlots(const std::vector<std::string>& f,
                                         const std::string& rid) {
  bool free = false;
  for (int slot = 0; slot < kAidSlots; ++slot) {
    const int at = kFirstAid + slot * 5;
    const bool empty = f[at].empty() && f[at + 1] == kAidFree && f[at + 2].empty() &&
                       f[at + 3].empty() && f[at + 4].empty();
    if (empty) {
      free = true;
      continue;
    }
    if (free) return Field(at) + ": AID slot used after an empty one";
    if (auto problem = CheckUsedAid(f, at, rid)) return problem;
  }
  return std::nullopt;
}

}  // namespace

std::optional<std::string> CheckEstRecord(const std::vector<std::string>& f, size_t position) {
  if (f.size() != size_t(kEstFieldCount)) {
    return "EST record has " + std::to_string(f.size()) + " fields, not 71";
  }
  if (f[0] != std::string(1, '\0')) return "field 1: must be the one byte 0x00";
  const std::string scheme = "Scheme" + std::to_string(position);
  if (f[1] != scheme)
    return "field 2: must be \"" + scheme + "\" for record " + std::to_string(position);
  if (f[2].size() != 10 || !AllHex(f[2])) return "field 3: RID must be 10 hex digits";
  if (!f[3].empty()) return "field 4: must be empty";
  if (auto problem = CheckKeySlots(f)) return problem;
  if (auto problem = CheckAidSlots(f, f[2])) return problem;
  if (f[69] != "\xFF\xFF\xFF\xFF") return "field 70: must be four bytes 0xFF";
  if (!f[70].empty()) return "field 71: must be empty";
  return std::nullopt;
}

std::string EstRid(const std::string& record) {
  const auto fields = SplitFields(record);
  return fields && fields->size() > 2 ? (*fields)[2] : "";
}

}  // namespace korvex::emu
