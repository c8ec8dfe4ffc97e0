// The fields of the card-transaction messages: length-prefixed values (three
// digits giving the byte count, then the value as hex), tag lists ("NN" and
// N four-character tags), tag writes ("NN" and per tag: tag, three-digit
// byte count, hex value), issuer script blocks and the amount text of the
// amount confirmation. Each parser returns the parsed request or the
// Rejection to answer.
#pragma once

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

#include "emulator/core/handler_table.h"

namespace korvex::emu {

// Three digits of byte count, then the hex value.
std::string LengthValue(const std::string& hex);
// Each byte of the text as two upper-case hex digits.
std::string TextToHex(const std::string& text);

// The hex value with bits of one byte (0-based) set; unchanged when the
// value is shorter.
std::string WithBits(const std::string& hex, size_t byte, unsigned mask);

// "NN" + N tags; the tags in their four-character form.
std::variant<std::vector<std::string>, Rejection> ParseTagList(const std::string& list);

struct TagWrite {
  std::string tag;    // four characters, upper case
  std::string value;  // hex
};
std::variant<std::vector<TagWrite>, Rejection> ParseTagWrites(const std::string& body);

// "C25" tag part kind LLL hex:
//   tag "71" or "72"; part "0" opens a script, "1" continues it;
//   kind "01" a whole script (1-240 bytes), "81" its first 240 bytes,
//   "91" the rest after an "81" block.
struct ScriptBlock {
  std::string tag;
  bool continuation = false;
  std::string kind;
  std::string data;  // hex
};
std::variant<ScriptBlock, Rejection> ParseScriptBlock(const std::string& text);

// The 16 characters of amount text: the amount in minor units with a "."
// before its last two digits (at least "0.05"), a space, the currency symbol
// ("EEK" for 0233, none for others), spaces; cut to 16 when longer. Accepts
// `minor` or one more (the display rounds halves away from zero, the chip
// start to even). Empty when well formed, else what is wrong.
std::string AmountTextProblem(const std::string& text, uint64_t minor, const std::string& currency);

// The amount keys' labels the card's language preference (5F2D as hex)
// asks for: "Ei   Jah" when "et" comes before "en", else "No   Yes".
std::string AnswerLabels(const std::string& languageHex);

}  // namespace korvex::emu
