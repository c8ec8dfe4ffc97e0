// The PIN pad's single-byte code page, Windows-1257 (Baltic): configuration
// files are UTF-8 or UTF-16, the control's texts are one byte per character.
#pragma once

#include <string>

namespace korvex {

// The code page byte of a Unicode code point; '?' when it has none.
char CodePageChar(char32_t codePoint);
// Each UTF-8 character becomes its Windows-1257 byte; a character the code page
// lacks, and every byte of a malformed sequence, becomes '?'.
std::string Utf8ToCodePage(const std::string& utf8);
// The same, but all or nothing: false, with the first character the code page
// lacks in missing (U+FFFD for malformed UTF-8), when a text cannot reach the
// PIN pad unchanged.
bool Utf8ToCodePageExact(const std::string& utf8, std::string& out, char32_t& missing);
// Each byte becomes its character in UTF-8; the twelve unassigned bytes of the
// upper half become '?'.
std::string CodePageToUtf8(const std::string& text);
// UTF-16 little-endian bytes (no byte-order mark) as code page text. Surrogate
// pairs and characters outside the code page become '?'; an odd last byte is
// dropped.
std::string Utf16LeToCodePage(const std::string& bytes);

}  // namespace korvex
