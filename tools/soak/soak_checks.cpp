#include "tools/soak/soak_checks.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <utility>

#include "control/impl_access.h"
#include "control/korvex_impl.h"
#include "emulator/core/pin_pad.h"

namespace korvex::soak {

namespace {

std::string Upper(std::string s) {
  std::ranges::transform(s, s.begin(), [](unsigned char c) { return std::toupper(c); });
  return s;
}

// The card's data object now: the transaction's value, else the card's own.
std::string CardTag(SoakRig& rig, const std::string& tag) {
  const auto& now = rig.pad.Core().Pad().Transaction().tags;
  if (const auto it = now.find(tag); it != now.end()) return it->second;
  const auto& own = rig.pad.Core().Pad().Profile().tags;
  const auto it = own.find(tag);
  return it == own.end() ? std::string() : it->second;
}

// Host key -> the value the pad holds, for the values a step reads.
std::vector<std::pair<std::string, std::string>> Expected(SoakRig& rig, PurchaseStep step) {
  const emu::CardProfile& card = rig.pad.Core().Pad().Profile();
  const auto tag = [&](const char* t) { return CardTag(rig, t); };
  switch (step) {
    case PurchaseStep::CardData:
      return {{"AID", card.aid},
              {"PAN", card.Pan()},
              {"TRACK2", card.track2},
              {"EXPD", card.expiry},
              {"CSN", std::to_string(std::stoi("0" + tag("5F34")))},
              {"82", tag("8200")},
              {"9F33", tag("9F33")}};
    case PurchaseStep::FirstCryptogram:
      return {{"9F27", tag("9F27")}, {"9F10", tag("9F10")}, {"9F26", tag("9F26")},
              {"9F36", tag("9F36")}, {"9F37", tag("9F37")}, {"95", tag("9500")},
              {"9B", tag("9B00")},   {"9F34", tag("9F34")}};
    case PurchaseStep::Completed:
      return {{"9F27", tag("9F27")}, {"9F10", tag("9F10")}, {"9F26", tag("9F26")},
              {"9F36", tag("9F36")}, {"95", tag("9500")},   {"9B", tag("9B00")}};
  }
  return {};
}

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// The file of the folder's Constant\ with this name in any letter case.
std::filesystem::path ConstantFile(const std::string& folder, const std::string& name) {
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(folder + "/Constant", ec)) {
    if (Upper(entry.path().filename().string()) == Upper(name)) return entry.path();
  }
  return {};
}

int Differ(const std::string& what, const std::string& got, const std::string& expected,
           std::vector<std::string>& wrong) {
  if (got == expected) return 0;
  wrong.push_back(what + ": " + std::to_string(got.size()) + " bytes that differ from the " +
                  std::to_string(expected.size()) + " expected");
  return 1;
}

}  // namespace

int CheckCardData(SoakRig& rig, PurchaseStep step, std::vector<std::string>& wrong) {
  int found = 0;
  for (const auto& [key, expected] : Expected(rig, step)) {
    const std::string got = rig.control.getTag(key);
    if (Upper(got) == Upper(expected)) continue;
    wrong.push_back("getTag(\"" + key + "\") = \"" + got + "\", the card holds \"" + expected +
                    "\"");
    ++found;
  }
  return found;
}

int CheckDownload(SoakRig& rig, const std::string& folder, std::vector<std::string>& wrong) {
  Korvex::Impl& impl = ImplAccess::Of(rig.control);
  const emu::PinPad& pad = rig.pad.Core().Pad();
  int found = 0;
  for (const auto& [name, file] : pad.Files()) {
    std::string expected;
    if (const auto path = ConstantFile(folder, name); !path.empty()) {
      expected = ReadFile(path);
    } else {
      for (int16_t i = 1; i <= rig.terminal.getERKCount(); ++i) {
        int16_t key = i;
        if (Upper(rig.terminal.getERKID(i) + ".EMV") == Upper(name)) {
          expected = impl.BuildERKData(key);
        }
      }
    }
    found += Differ("file " + name, file.data, expected, wrong);
  }
  const auto records = [](const std::vector<std::string>& built) {
    return built.empty() ? built : std::vector<std::string>(built.begin() + 1, built.end());
  };
  const auto table = [&](int number, const std::vector<std::string>& built, const char* name) {
    const std::vector<std::string> held = pad.Records(number);
    for (size_t i = 0; i < std::max(held.size(), built.size()); ++i) {
      found += Differ(std::string(name) + " record " + std::to_string(i + 1),
                      i < held.size() ? held[i] : "", i < built.size() ? built[i] : "", wrong);
    }
  };
  table(emu::kEstTable, records(impl.ESTRecords), "EST");
  table(emu::kMvtTable, records(impl.MVTRecords), "MVT");
  found +=
      Differ("version record", pad.VersionRecord().value_or(""), impl.BuildVersionRecord(), wrong);
  return found;
}

}  // namespace korvex::soak
