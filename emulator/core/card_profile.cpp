#include "emulator/core/card_profile.h"

#include <algorithm>
#include <cctype>

namespace korvex::emu {
namespace {

bool Digits(const std::string& s) {
  return std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::string PadF(std::string hex) {
  if (hex.size() % 2 != 0) hex += 'F';
  return hex;
}

}  // namespace

const TagValues& DefaultCardTags() {
  static const TagValues tags = {
      {"5F28", "0233"},            // issuer country
      {"5F34", "01"},              // PAN sequence number
      {"8200", "5C00"},            // application interchange profile
      {"9F33", "E0B8D0"},          // terminal capabilities
      {"5F2D", "6574656E"},        // language preference "eten"
      {"9F10", "06010A03A00000"},  // issuer application data
      {"9F36", "0011"},            // application transaction counter
      {"9500", "0000000000"},      // terminal verification results
      {"9B00", "E800"},            // transaction status information
      {"9F34", "420300"},          // CVM results: online PIN
  };
  return tags;
}

std::string CardProfile::Pan() const {
  return track2.substr(0, track2.find('='));
}

std::string CardProfile::ServiceCode() const {
  const size_t sep = track2.find('=');
  return sep == std::string::npos || track2.size() < sep + 8 ? "" : track2.substr(sep + 5, 3);
}

bool CardProfile::HasChip() const {
  const std::string code = ServiceCode();
  return !code.empty() && (code[0] == '2' || code[0] == '6');
}

std::string CardProfile::Track2Hex() const {
  std::string hex = track2;
  std::replace(hex.begin(), hex.end(), '=', 'D');
  return PadF(hex);
}

std::string CardProfile::PanHex() const {
  return PadF(Pan());
}

CardProfile StripeCard() {
  CardProfile card;
  card.track2 = "5413330089020011=2512101000000000";
  card.expiry = "251231";
  card.aid.clear();
  card.label.clear();
  return card;
}

std::string TagKey(const std::string& tag) {
  std::string key = tag.size() == 2 ? tag + "00" : tag;
  for (char& c : key) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return key;
}

std::string Track2Problem(const std::string& track2) {
  const size_t sep = track2.find('=');
  if (sep == std::string::npos) return "expected PAN \"=\" YYMM service code and data";
  const std::string pan = track2.substr(0, sep);
  const std::string rest = track2.substr(sep + 1);
  if (pan.size() < 12 || pan.size() > 19 || !Digits(pan)) return "PAN must be 12 to 19 digits";
  if (rest.size() < 7 || !Digits(rest)) {
    return "after \"=\" expected digits: YYMM, the service code and any data";
  }
  if (track2.size() > 37) return "longer than 37 characters";
  return "";
}

}  // namespace korvex::emu
