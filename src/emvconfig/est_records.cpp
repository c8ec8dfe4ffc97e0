// EST records: one per card scheme (RID) of the AID table, naming the scheme's
// CA key files and listing its AIDs; and the content of a CA key file.
#include <string>
#include <vector>

#include "control/korvex_impl.h"
#include "link/framing.h"
#include "support/conversions.h"

namespace korvex {
namespace {

constexpr int16_t kAidTable = 4;
constexpr int kKeySlots = 15;
constexpr int kAidSlots = 10;

std::string TrimBlanks(const std::string& text) {
  const auto first = text.find_first_not_of(' ');
  if (first == std::string::npos) return "";
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

std::string ReadField(TerminalObject& terminal, int16_t table, int32_t record, int16_t field) {
  auto index = static_cast<int16_t>(record);
  std::string value;
  terminal.getTableField(table, index, field, value);
  return value;
}

// Code of the first character, 0 for an empty text.
size_t Asc(const std::string& text) {
  return text.empty() ? 0 : static_cast<unsigned char>(text[0]);
}

}  // namespace

std::string Korvex::Impl::GetSchemeVersion(const std::string& RID) const {
  return RID == "A000000003" ? "0084" : "0002";
}

int16_t Korvex::Impl::BuildRIDList(std::vector<std::string>& RIDs) {
  RIDs.assign(1, "");
  if (terminalObject == nullptr) return 0;
  const int16_t count = terminalObject->getTableRecordCount(kAidTable);
  for (int32_t r = 1; r <= count; ++r) {
    const std::string rid = ReadField(*terminalObject, kAidTable, r, 3).substr(0, 10);
    if (rid.size() != 10) return 0;
    bool known = false;
    for (size_t i = 1; i < RIDs.size(); ++i) known = known || RIDs[i] == rid;
    if (!known) RIDs.push_back(rid);
  }
  return -1;
}

int16_t Korvex::Impl::BuildESTRecords() {
  ESTRecords.clear();
  std::vector<std::string> rids;
  if (!BuildRIDList(rids)) return 0;
  ESTRecords.assign(rids.size(), "");
  TerminalObject& terminal = *terminalObject;
  const std::string fs(1, FS);

  for (size_t i = 1; i < rids.size(); ++i) {
    const std::string& rid = rids[i];
    RaiseDebugEvent(5, "Building EST Record(" + std::to_string(i) + "): RID=" + rid);
    // A zero byte, the scheme's position, the RID, an empty field.
    std::string record =
        std::string(1, '\0') + fs + "Scheme" + std::to_string(i) + fs + rid + fs + fs;

    // Key slots: the file name of every CA key of this scheme.
    int keys = 0;
    const int16_t keyCount = terminal.getERKCount();
    for (int32_t k = 1; k <= keyCount; ++k) {
      auto index = static_cast<int16_t>(k);
      std::string keyRid;
      terminal.getERKField(index, 7, keyRid);
      if (AsciiToHex(keyRid) != rid) continue;
      record += terminal.getERKID(index) + ".EMV" + fs;
      ++keys;
    }
    for (; keys < kKeySlots; ++keys) record += fs;

    // AID slots. Every AID record is validated, whichever scheme it belongs to.
    int aids = 0;
    const std::string version = GetSchemeVersion(rid);
    const int16_t aidCount = terminal.getTableRecordCount(kAidTable);
    for (int32_t t = 1; t <= aidCount; ++t) {
      int16_t length = 0;
      const std::string lengthText = TrimBlanks(ReadField(terminal, kAidTable, t, 2));
      if (!ToInteger(lengthText, length)) return 0;
      const std::string field3 = ReadField(terminal, kAidTable, t, 3);
      if (length < 1 || static_cast<size_t>(length) > field3.size()) return 0;
      const std::string aid = field3.substr(0, static_cast<size_t>(length));
      if (aid.substr(0, 10) != rid) continue;
      const std::string field6 = TrimBlanks(ReadField(terminal, kAidTable, t, 6));
      record += aid + fs + '\x02' + fs + version + fs + version + fs + field6 + fs;
      ++aids;
    }
    for (; aids < kAidSlots; ++aids) record += fs + '\x01' + fs + fs + fs + fs;

    record += "\xFF\xFF\xFF\xFF" + fs + fs;
    ESTRecords[i] = record;
  }
  return -1;
}

// Content of the CA key file: RID, key field 8, then each length byte followed
// by the value it measures, cut to that length.
std::string Korvex::Impl::BuildERKData(int16_t& KeyIndex) {
  if (terminalObject == nullptr) return "";
  std::string data;
  std::string lengthByte;
  for (const int16_t field : {7, 8, 12, 14, 13, 15}) {
    std::string value;
    if (terminalObject->getERKField(KeyIndex, field, value) != 0) return "";
    if (field == 12 || field == 13) {
      lengthByte = value;
      data += value;
    } else if (field == 14 || field == 15) {
      data += value.substr(0, Asc(lengthByte));
    } else {
      data += value;
    }
  }
  return data;
}

}  // namespace korvex
