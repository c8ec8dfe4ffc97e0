#include "support/korvex_lang.h"

#include <array>
#include <cctype>

#include "support/conversions.h"

namespace korvex {

namespace {

const char* const kEnglishKeys = "No   Yes";
const char* const kEstonianKeys = "Ei   Jah";

// Codes 0-99; an empty entry is a code without a text.
const std::array<const char*, 100> kEmvResults = {
    // 0-9
    "Operation successful", "Invalid command code", "Invalid data format",
    "Response has more packets", "Previous step missing", "Invalid config", "Timeout",
    "Timer error", "Cancelled", "Comm failure",
    // 10-19
    "Chip rdr failure", "", "", "", "", "", "", "", "", "",
    // 20-29
    "Use chip reader", "Use mag stripe", "Chip error", "Card removed", "Card blocked",
    "Card not supported", "Invalid app", "Do absent", "Do repeat", "Invalid pin",
    // 30-39
    "Pin last chance", "Pin retry limit", "TLV collection full", "TLV format", "Invalid PDOL",
    "Invalid CDOL", "Invalid TDOL", "Invalid DDOL", "Invalid SDOL", "AID list full",
    // 40-49
    "PSE not found", "ICC data missing", "Candidate list empty", "APDU format", "Hash failed",
    "Bad Track2", "Certificate expired", "Diff AVN err", "Service not allowed",
    "App not yet effective",
    // 50-59
    "App expired", "Lower lmt exceed", "Upper lmt exceed", "CVM failed", "Unrecognized CVM",
    "Bad data format", "Bad hash algo", "Bad IPK algo", "Invalid length", "Tag not found",
    // 60-69
    "Invalid offset", "Bad command", "Tag already present", "Read record failed",
    "Explicit selec reqd", "Cond not satisfied", "CSN failure", "Bad slot", "Bad len", "No mem",
    // 70-79
    "CAPK error", "PIN config error", "EST tab err", "MVT tab err", "Script error", "Log error",
    "Combined DDA AC gen reqd", "Combined DDA AC gen failed", "Card inserted", "",
    // 80-89
    "", "", "", "", "", "", "", "", "", "",
    // 90-99
    "", "", "", "", "", "", "", "Unrecog return", "Unexpected return", "Failure"};

}  // namespace

std::string YesNoTexts(const std::string& LanguagePreference) {
  const std::string codes = HexToAscii(LanguagePreference);
  if (codes.empty() || codes.size() % 2 != 0) return kEnglishKeys;
  // The card lists its languages in order of preference.
  for (size_t i = 0; i + 1 < codes.size(); i += 2) {
    std::string code = codes.substr(i, 2);
    for (char& c : code) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (code == "en") return kEnglishKeys;
    if (code == "et") return kEstonianKeys;
  }
  return kEnglishKeys;
}

std::string EmvResultText(int32_t code) {
  if (code < 0 || code >= static_cast<int32_t>(kEmvResults.size())) return "";
  return kEmvResults[static_cast<size_t>(code)];
}

std::string TableResultText(int32_t code) {
  switch (code) {
    case 0:
    case 1:
    case 2:
    case 3: return EmvResultText(code);
    case 4: return "Error opening table";
    case 5: return "Error reading table";
    case 6: return "Error writing to a table";
    case 7: return "Error closing table";
    case 8: return "Error in table record";
    case 9: return "Table filename duplication";
    case 10: return "Table ID invalid";
    case 11: return "Table limit reached";
    case 12: return "Field limit reached";
    case 99: return "Internal failure";
    default: return "";
  }
}

}  // namespace korvex
