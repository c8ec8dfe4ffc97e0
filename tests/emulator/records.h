// Well-formed EST, MVT and version records and the requests that carry them,
// built field by field from the record layouts, for the table tests.
#pragma once

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "link/framing.h"

namespace korvex::emu::testing {

inline std::string Fields(const std::vector<std::string>& fields) {
  std::string out;
  for (const auto& f : fields) out += f + FS;
  return out;
}

inline std::string Len3(const std::string& record) {
  std::string n = std::to_string(record.size());
  return std::string(3 - std::min<size_t>(3, n.size()), '0') + n;
}

struct Aid {
  std::string aid;
  std::string value;
};

inline std::string EstRecord(int number, const std::string& rid,
                             const std::vector<std::string>& keyIds, const std::vector<Aid>& aids) {
  std::vector<std::string> f = {std::string(1, '\0'), "Scheme" + std::to_string(number), rid, ""};
  for (size_t i = 0; i < std::max<size_t>(15, keyIds.size()); ++i) {
    f.push_back(i < keyIds.size() ? keyIds[i] + ".EMV" : "");
  }
  const std::string version = rid == "A000000003" ? "0084" : "0002";
  for (size_t i = 0; i < 10; ++i) {
    if (i < aids.size()) {
      f.insert(f.end(), {aids[i].aid, "\x02", version, version, aids[i].value});
    } else {
      f.insert(f.end(), {"", "\x01", "", "", ""});
    }
  }
  f.push_back("\xFF\xFF\xFF\xFF");
  f.push_back("");
  return Fields(f);
}

inline std::vector<std::string> MvtTerminal() {
  return {"9F02065F2A029A039C0195059F3704",
          "9F3704",
          "\xFF\xFF",
          std::string(1, '\0'),
          "1",
          "0233",
          "0978",
          "E0B8D0",
          "7000F0F001",
          "22",
          "EE",
          "R",
          "TERM0001",
          "MERCHANT01",
          "123456",
          "FF",
          "2",
          "30",
          "B",
          "1",
          "18",
          "1",
          "17",
          "1",
          "\x02",
          std::string(1, '\0'),
          std::string(1, '\0'),
          "\x01",
          "",
          "",
          "",
          "\x10",
          std::string(1, '\0'),
          std::string(1, '\0')};
}

inline std::string MvtDefault() {
  const std::string z(1, '\0');
  std::vector<std::string> f = {"\xFF\xFF", "\xFF\xFF", z,      "", "", "", "",
                                z,          z,          "\x01", "", "", ""};
  for (auto& t : MvtTerminal()) f.push_back(t);
  return Fields(f);
}

inline std::string MvtRecord(const std::string& f11, const std::string& f12,
                             const std::string& f13) {
  const std::string z(1, '\0');
  std::vector<std::string> f = {"\xFF\xFF",
                                "\xFF\xFF",
                                "\x01",
                                std::string(2, '\0'),
                                z,
                                std::string(4, '\0'),
                                std::string(2, '\0'),
                                z,
                                z,
                                "\x01",
                                f11,
                                f12,
                                f13};
  for (auto& t : MvtTerminal()) f.push_back(t);
  return Fields(f);
}

inline std::string VersionRecord(const std::string& reference, const std::string& checksum) {
  std::vector<std::string> f(18);
  f[5] = reference;
  f[12] = checksum;
  return Fields(f);
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
