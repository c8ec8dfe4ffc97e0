// Conversion between UTF-8 and the PIN pad's single-byte code page,
// Windows-1257 (Baltic): configuration files are UTF-8, the control's texts
// are one byte per character.
#pragma once

#include <string>

namespace korvex {

// Each UTF-8 character becomes its Windows-1257 byte; a character the code page
// lacks, and every byte of a malformed sequence, becomes '?'.
std::string Utf8ToCodePage(const std::string& utf8);
// Each byte becomes its character in UTF-8; the twelve unassigned bytes of the
// upper half become '?'.
std::string CodePageToUtf8(const std::string& text);

}  // namespace korvex
