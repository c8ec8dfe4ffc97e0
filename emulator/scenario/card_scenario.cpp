#include "emulator/scenario/card_scenario.h"

#include <algorithm>
#include <cctype>

#include "emulator/scenario/json_fields.h"

namespace korvex::emu {
namespace {

using namespace json_fields;
constexpr int64_t kMaxMs = 24LL * 3600 * 1000;

bool IsHex(const std::string& s) {
  return std::all_of(s.begin(), s.end(),
                     [](char c) { return std::isxdigit(static_cast<unsigned char>(c)); });
}

bool IsDigits(const std::string& s) {
  return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// Hex text of whole bytes, between min and max bytes; upper-cased.
std::string HexBytes(const json& j, const std::string& path, size_t min, size_t max) {
  std::string s = Text(j, path);
  if (!IsHex(s) || s.size() % 2 != 0) Fail(path, "expected hex digits, two per byte");
  if (s.size() < 2 * min || s.size() > 2 * max) {
    Fail(path, "expected " + std::to_string(min) + " to " + std::to_string(max) + " bytes");
  }
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

// The last day of the month YYMM, for a chip expiry taken from the track.
std::string MonthEnd(const std::string& yymm) {
  const int year = std::stoi(yymm.substr(0, 2));
  const int month = std::stoi(yymm.substr(2, 2));
  const int days = month == 2 ? (year % 4 == 0 ? 29 : 28)
                   : (month == 4 || month == 6 || month == 9 || month == 11) ? 30
                                                                             : 31;
  return yymm + std::to_string(days);
}

std::string TrackExpiry(const CardProfile& card) {
  return card.track2.substr(card.track2.find('=') + 1, 4);
}

void ReadTags(const json& j, CardProfile& card) {
  if (!j.is_object()) Fail("card.tags", "expected an object of tag: hex value");
  for (const auto& item : j.items()) {
    const std::string path = Join("card.tags", item.key());
    if ((item.key().size() != 2 && item.key().size() != 4) || !IsHex(item.key())) {
      Fail(path, "a tag is 2 or 4 hex digits");
    }
    card.tags[TagKey(item.key())] = HexBytes(item.value(), path, 0, 255);
  }
}

CryptogramAnswer ReadAnswer(const json& j, const std::string& path, CryptogramAnswer answer) {
  ExpectObject(j, path, {"cid", "arc"});
  if (j.contains("cid")) answer.cid = HexBytes(j["cid"], Join(path, "cid"), 0, 1);
  if (j.contains("arc")) answer.arc = HexBytes(j["arc"], Join(path, "arc"), 0, 2);
  return answer;
}

void ReadTrack(const json& j, CardProfile& card) {
  if (j.contains("track2")) {
    card.track2 = Text(j["track2"], "card.track2");
    const std::string problem = Track2Problem(card.track2);
    if (!problem.empty()) Fail("card.track2", problem);
    card.expiry = MonthEnd(TrackExpiry(card));
  }
  if (j.contains("expiry")) {
    card.expiry = Text(j["expiry"], "card.expiry");
    if (card.expiry.size() != 6 || !IsDigits(card.expiry)) Fail("card.expiry", "expected YYMMDD");
  }
  if (card.expiry.substr(0, 4) != TrackExpiry(card)) {
    Fail("card.expiry", "YYMM differs from the track's " + TrackExpiry(card));
  }
}

}  // namespace

void ReadCard(const json& j, PadState& state) {
  ExpectObject(j, "card",
               {"present", "removalDelayMs", "track2", "expiry", "aid", "label", "signatureFlag",
                "tags", "firstAc", "secondAc"});
  if (j.contains("present")) state.card.present = Bool(j["present"], "card.present");
  if (j.contains("removalDelayMs")) {
    state.card.removalDelayMs = Integer(j["removalDelayMs"], "card.removalDelayMs", -1, kMaxMs);
  }
  CardProfile& card = state.cardProfile;
  ReadTrack(j, card);
  if (j.contains("aid")) card.aid = HexBytes(j["aid"], "card.aid", 5, 16);
  if (j.contains("label")) {
    card.label = Text(j["label"], "card.label");
    if (card.label.size() > 16) Fail("card.label", "at most 16 characters");
  }
  if (j.contains("signatureFlag")) {
    card.signatureFlag = Text(j["signatureFlag"], "card.signatureFlag");
    if (card.signatureFlag.size() != 1) Fail("card.signatureFlag", "expected one character");
  }
  if (j.contains("tags")) ReadTags(j["tags"], card);
  if (j.contains("firstAc")) card.firstAc = ReadAnswer(j["firstAc"], "card.firstAc", card.firstAc);
  if (j.contains("secondAc")) {
    card.secondAc = ReadAnswer(j["secondAc"], "card.secondAc", card.secondAc);
  }
}

void ReadCardholder(const json& j, Cardholder& who) {
  ExpectObject(j, "cardholder",
               {"entry", "entryDelayMs", "amountKey", "amountDelayMs", "pinDelayMs", "pinStatus",
                "bypassPin"});
  if (j.contains("entry")) {
    const std::string entry = Text(j["entry"], "cardholder.entry");
    if (entry != "insert" && entry != "swipe" && entry != "none") {
      Fail("cardholder.entry", "expected \"insert\", \"swipe\" or \"none\"");
    }
    who.entry = entry == "insert"  ? CardEntry::Insert
                : entry == "swipe" ? CardEntry::Swipe
                                   : CardEntry::None;
  }
  auto ms = [&](const char* key, int64_t& into) {
    if (j.contains(key)) into = Integer(j[key], Join("cardholder", key), 0, kMaxMs);
  };
  ms("entryDelayMs", who.entryDelayMs);
  ms("amountDelayMs", who.amountDelayMs);
  ms("pinDelayMs", who.pinDelayMs);
  if (j.contains("amountKey")) {
    who.amountKey = HexBytes(j["amountKey"], "cardholder.amountKey", 1, 1);
  }
  if (j.contains("pinStatus")) who.pinStatus = Status(j["pinStatus"], "cardholder.pinStatus");
  if (j.contains("bypassPin")) who.bypassPin = Bool(j["bypassPin"], "cardholder.bypassPin");
}

}  // namespace korvex::emu
