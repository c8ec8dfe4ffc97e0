#include "emulator/messages/card_cryptogram.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace korvex::emu {
namespace {

// FNV-1a, 64 bits.
uint64_t Fingerprint(const std::string& data) {
  uint64_t h = 14695981039346656037ull;
  for (unsigned char c : data) {
    h ^= c;
    h *= 1099511628211ull;
  }
  return h;
}

std::string Hex(uint64_t value, int digits) {
  char buffer[17];
  std::snprintf(buffer, sizeof buffer, "%0*llX", digits, static_cast<unsigned long long>(value));
  return std::string(buffer).substr(0, size_t(digits));
}

std::string NextAtc(const std::string& atc) {
  unsigned long value = 0;
  if (atc.size() == 4) value = std::strtoul(atc.c_str(), nullptr, 16);
  return Hex((value + 1) & 0xFFFF, 4);
}

std::string Covered(const CardSession& t, const CardProfile& card) {
  const auto tag = [&](const char* key) {
    const auto v = t.tags.find(key);
    return v == t.tags.end() ? std::string() : v->second;
  };
  return card.Pan() + "|" + t.amount + "|" + t.currency + "|" + t.dateTime + "|" + tag("9F36") +
         "|" + tag("9F37") + "|" + tag("9500");
}

}  // namespace

void GenerateFirstAc(CardSession& t, CardProfile& card, const std::string& cid) {
  const std::string atc = NextAtc(card.tags["9F36"]);
  card.tags["9F36"] = t.tags["9F36"] = atc;
  t.tags["9F37"] = Hex(Fingerprint(t.dateTime + t.amount + atc) >> 32, 8);
  t.tags["9F27"] = cid;
  t.tags["9F26"] = Hex(Fingerprint("1|" + cid + "|" + Covered(t, card)), 16);
  t.firstAcDone = true;
}

void GenerateSecondAc(CardSession& t, const CardProfile& card, const std::string& cid) {
  t.tags["9F27"] = cid;
  t.tags["9F26"] = Hex(
      Fingerprint("2|" + cid + "|" + Covered(t, card) + "|" + t.issuerAuthData + "|" + t.issuerArc),
      16);
}

}  // namespace korvex::emu
