// The pad's single-byte code page, Windows-1257 (Baltic), reached from Unicode.
#pragma once

#include <string>

namespace korvex {

// The code page byte of a Unicode code point; '?' when it has none.
char CodePageChar(char32_t codePoint);
// UTF-16 little-endian bytes (no byte-order mark) as code page text. Surrogate
// pairs and characters outside the code page become '?'; an odd last byte is
// dropped.
std::string Utf16LeToCodePage(const std::string& bytes);

}  // namespace korvex
