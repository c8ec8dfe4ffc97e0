// What the scripted cardholder does: presents the card after the card
// prompt, answers the amount confirmation and enters the PIN, each after a
// delay. Taking the card out after "I02" is CardReader::removalDelayMs.
#pragma once

#include <cstdint>
#include <string>

namespace korvex::emu {

enum class CardEntry {
  Insert,  // into the chip reader
  Swipe,   // through the stripe reader; a chip card is inserted once the pad asks for the chip
  None,    // never presents a card
};

struct Cardholder {
  CardEntry entry = CardEntry::Insert;
  int64_t entryDelayMs = 500;  // from the card prompt ("Z2"), or from "C00" for a swiped chip card
  std::string amountKey = "F3";  // key pressed at the amount confirmation; "F3" or "0D" confirm
  int64_t amountDelayMs = 1000;
  int64_t pinDelayMs = 2000;     // PIN entry, from "C02"
  std::string pinStatus = "00";  // status of the PIN-entry reply
  bool bypassPin = false;        // bypasses the PIN when the request allows it
};

}  // namespace korvex::emu
