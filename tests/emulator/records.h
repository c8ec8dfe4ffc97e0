// Well-formed EST, MVT and version records and the requests that carry them,
// built field by field from the record layouts, for the table tests.
#pragma once

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "link/framing.h"

namespace korvex::emu::testing {

// Fields written "a|b|c" with '@' standing for the byte 0x00, each ended by FS.
inline std::string Fields(std::string text) {
  for (char& c : text) c = c == '|' ? FS : c == '@' ? '\0' : c;
  return text + FS;
}

// The length in three digits (records stay below 1000 bytes).
inline std::string Len3(const std::string& record) {
  return std::to_string(1000 + record.size()).substr(1);
}

using Aid = std::pair<std::string, std::string>;  // AID and its value

inline std::string EstRecord(int number, const std::string& rid,
                             const std::vector<std::string>& keyIds, const std::vector<Aid>& aids) {
  std::string f = "@|Scheme" + std::to_string(number) + "|" + rid + "|";
  for (size_t i = 0; i < std::max<size_t>(15, keyIds.size()); ++i) {
    f += "|" + (i < keyIds.size() ? keyIds[i] + ".EMV" : "");
  }
  const std::string version = rid == "A000000003" ? "0084" : "0002";
  for (size_t i = 0; i < 10; ++i) {
    f += i < aids.size()
             ? "|" + aids[i].first + "|\x02|" + version + "|" + version + "|" + aids[i].second
             : "||\x01|||";
  }
  return Fields(f + "|\xFF\xFF\xFF\xFF|");
}

// Fields 14-47 of every MVT record: the terminal's fixed data.
inline const std::string kMvtTerminal =
    "9F02065F2A029A039C0195059F3704|9F3704|\xFF\xFF|@|1|0233|0978|E0B8D0|7000F0F001|22|EE|R|"
    "TERM0001|MERCHANT01|123456|FF|2|30|B|1|18|1|17|1|\x02|@|@|\x01||||\x10|@|@";

inline const std::string kMvtDefault =
    Fields("\xFF\xFF|\xFF\xFF|@|||||@|@|\x01||||" + kMvtTerminal);

inline std::string MvtRecord(const std::string& f11, const std::string& f12,
                             const std::string& f13) {
  return Fields("\xFF\xFF|\xFF\xFF|\x01|@@|@|@@@@|@@|@|@|\x01|" + f11 + "|" + f12 + "|" + f13 +
                "|" + kMvtTerminal);
}

inline std::string VersionRecord(const std::string& reference, const std::string& checksum) {
  return Fields("|||||" + reference + "|||||||" + checksum + "|||||");
}

inline std::string AddEst(const std::string& record) {
  return "D0401071" + Len3(record) + record;
}
inline std::string AddMvt(const std::string& record) {
  return "D0402047" + Len3(record) + record;
}
inline std::string SaveVersion(const std::string& record) {
  return "D0503001018" + Len3(record) + record;
}

}  // namespace korvex::emu::testing
