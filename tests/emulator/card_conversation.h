// A card conversation played request by request against the emulator's
// core: each step sends a request, lets the given time pass, expects the
// pad's ACK and the reply text (none when empty) and ACKs the reply.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "raw_line.h"

namespace korvex::emu::testing {

struct Exchange {
  std::string request;
  std::string reply;   // text of the pad's reply; empty: ACK only
  int64_t waitMs = 0;  // time for the pad (and the cardholder) to answer
};

inline void Converse(RawLine& line, const std::vector<Exchange>& steps) {
  for (const Exchange& s : steps) {
    SCOPED_TRACE(s.request);
    line.SendFrame(s.request);
    line.Run(s.waitMs);
    EXPECT_EQ(line.Take(), kAck + (s.reply.empty() ? "" : Frame(s.reply)));
    if (!s.reply.empty()) line.Ack();
  }
}

// A value as the replies carry it: its byte count in three digits, then hex.
inline std::string V(const std::string& hex) {
  return std::to_string(1000 + hex.size() / 2).substr(1) + hex;
}

inline const std::string kInsertPrompt = "Z2\x1A Sisesta  kaart   Insert  card";
inline const std::string kChipStart = "C0000101261206120000000000001250";  // 12.50
inline const std::string kCardData = "055F285F3482009F335F2D";
inline const std::string kFirstAcData = "089F279F109F269F369F3795009B009F34";
inline const std::string kSecondAcData = "079F279F109F269F369F3795009B00";
inline const std::string kAid = V("A0000000031010");
inline const std::string kLabel = V("5649534120435245444954");  // "VISA CREDIT"
inline const std::string kLanguage = V("6574656E");             // "eten"
inline const std::string kIssuerData = "C21029100" + V("1122334455667788") + "8A00" + V("3030");

// A chip purchase of 12.50 in currency 978 with the default card and
// cardholder: the card is inserted 500 ms after the prompt (the reader is
// polled once a second), the amount confirmed after 1000 ms, the PIN
// entered after 2000 ms.
inline const std::vector<Exchange> kPurchase = {
    {"C23", "C2300"},
    {"I02", "I02"},
    {"Q40", ""},
    {kInsertPrompt, ""},
    {"I050", "I050", 1000},
    {"I050", "I051"},
    {"Q41", ""},
    {kChipStart, "C0000" + kAid + kLabel + kLanguage},
    {"C0100000000012500000000000000978", "C0100" + kAid + kLabel + V("01") + kLanguage + V("0233") +
                                             V("4761739001010010D2712201123456789F") +
                                             V("4761739001010010") + V("271231") + V("01") + "0"},
    {"C20" + kCardData, "C2000" + V("0233") + V("01") + V("5C00") + V("E0B8D0") + kLanguage},
    {"C170010000000DC4004F800DC4000A800", "C1700"},
    {"C1800000000000", "C1800"},
    {"C2612.50           Ei   Jah", "C2600F3", 1000},
    {"C02000100010", "C02000" + V("0000000000") + V("E800"), 2000},
    {"C831", "C8300" + V("80") + V("")},
    {kIssuerData, "C2100"},
    {"C840", "C8400" + V("40") + V("3030") + "00"},
};

// The purchase up to (not including) the first request starting with
// `code`; the whole purchase for an empty code.
inline std::vector<Exchange> PurchaseUntil(const std::string& code) {
  std::vector<Exchange> steps;
  for (const Exchange& s : kPurchase) {
    if (!code.empty() && s.request.starts_with(code)) break;
    steps.push_back(s);
  }
  return steps;
}

}  // namespace korvex::emu::testing
