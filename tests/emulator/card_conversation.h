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

inline const std::string kClear(1, '\x1A');
inline const std::string kInsertPrompt = "Z2" + kClear + " Sisesta  kaart   Insert  card";
inline const std::string kCardData = "055F285F3482009F335F2D";
inline const std::string kFirstAcData = "089F279F109F269F369F3795009B009F34";
inline const std::string kTvrOnly = "019500";
inline const std::string kSecondAcData = "079F279F109F269F369F3795009B00";

inline const std::string kAid = "007A0000000031010";
inline const std::string kLabel = "0115649534120435245444954";  // "VISA CREDIT"
inline const std::string kLanguage = "0046574656E";             // "eten"
inline const std::string kChipStarted = "C0000" + kAid + kLabel + kLanguage;

// Card entry up to the chip start of 12.50: the cardholder inserts the card
// 500 ms after the prompt and the reader is polled once a second.
inline std::vector<Exchange> EntryAndChipStart(const std::string& amount = "000000001250") {
  return {{"C23", "C2300"},
          {"I02", "I02"},
          {"Q40", ""},
          {kInsertPrompt, ""},
          {"I050", "I050", 1000},
          {"I050", "I051"},
          {"Q41", ""},
          {"C0000101261206120000" + amount, kChipStarted}};
}

}  // namespace korvex::emu::testing
