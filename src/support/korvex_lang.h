// Result-code texts and the key labels of the amount confirmation.
#pragma once

#include <cstdint>
#include <string>

namespace korvex {

// "No   Yes" or "Ei   Jah", by the first of "en" / "et" in the card's
// language preference (tag 5F2D, hexadecimal text).
std::string YesNoTexts(const std::string& LanguagePreference);
// Text of a card-transaction result code, "" when unknown.
std::string EmvResultText(int32_t code);
// Text of a table-operation result code, "" when unknown.
std::string TableResultText(int32_t code);

}  // namespace korvex
