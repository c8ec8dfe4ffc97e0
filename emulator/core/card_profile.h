// The card the cardholder holds: its magnetic stripe (track 2) and, for a
// chip card, the chip's application and data objects. The card is a chip
// card when its service code starts with 2 or 6; any other card has only its
// stripe. Data objects are kept by their four-character tag as the messages
// write it (one-byte tags padded with "00": "8200", "9500"), values as
// upper-case hexadecimal text.
#pragma once

#include <string>

#include "emulator/core/tag_values.h"

namespace korvex::emu {

// The card's answer to a cryptogram request: cryptogram information (9F27)
// and authorisation response code, both as hex. An empty cid lets the pad
// decide (see the cryptogram messages); an empty arc is sent as a value of
// length 0 unless the pad has one of its own.
struct CryptogramAnswer {
  std::string cid;
  std::string arc;
};

// The data objects of the card every pad starts with. 9F36 is the ATC before
// the next first cryptogram; 9F26, 9F27 and 9F37 are computed per cryptogram.
// Built once: every pad, restart and loaded state starts from a copy.
const TagValues& DefaultCardTags();

struct CardProfile {
  // As printed on the stripe, without sentinels: PAN "=" YYMM, service code,
  // discretionary data.
  std::string track2 = "4761739001010010=2712201123456789";
  std::string expiry = "271231";  // YYMMDD, as the chip reports it
  std::string aid = "A0000000031010";
  std::string label = "VISA CREDIT";
  std::string signatureFlag = "0";  // first character of the PIN-entry reply
  // Data objects served to tag reads (DefaultCardTags).
  TagValues tags = DefaultCardTags();
  CryptogramAnswer firstAc{"80", ""};  // C83: an ARQC
  CryptogramAnswer secondAc;           // C84: by the decision digit

  // Parts of track 2.
  std::string Pan() const;
  std::string ServiceCode() const;
  bool HasChip() const;
  // Track 2 equivalent data as the chip reports it: "D" for "=", padded
  // with "F" to whole bytes.
  std::string Track2Hex() const;
  // The PAN as hex, padded with "F" to whole bytes.
  std::string PanHex() const;
};

// A card with a stripe only (service code 101).
CardProfile StripeCard();

// The four-character form of a tag: "95" -> "9500"; upper case.
std::string TagKey(const std::string& tag);

// Why track 2 (printable form) is not usable, or empty.
std::string Track2Problem(const std::string& track2);

}  // namespace korvex::emu
