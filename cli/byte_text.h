// Texts on the bridge's JSON lines. The control's texts are byte strings; on
// the wire byte value n travels as the character U+00nn, so every byte string
// has exactly one JSON form and any JSON string of characters up to U+00FF is
// exactly one byte string.
#pragma once

#include <string>
#include <string_view>

namespace korvex::cli {

// Each byte n as the UTF-8 encoding of U+00nn.
std::string BytesToUtf8(std::string_view bytes);

// The inverse: each character U+00nn back to byte n. Returns false with a
// message in `error` for a character above U+00FF or for bytes that are not
// UTF-8; `bytes` then holds nothing useful.
bool Utf8ToBytes(std::string_view utf8, std::string& bytes, std::string& error);

// JSON string literals written straight into a line, byte for byte as the
// JSON library dumps a string value (compact, non-ASCII characters kept,
// broken UTF-8 replaced), but without building the value or the library's
// output adapter for each text.

// A byte string as the literal of its characters U+00nn.
void AppendQuotedBytes(std::string& out, std::string_view bytes);
// A UTF-8 text as its literal. Broken UTF-8 (only ever from a parser's message
// quoting the input) becomes U+FFFD where the library puts it: one for each
// stray byte and one for each start of a character broken off.
void AppendQuotedUtf8(std::string& out, std::string_view text);
// The same without the quotes, so that a literal can be written in parts. Each
// part is escaped on its own: none may end inside a character that the next
// part goes on with.
void AppendEscapedUtf8(std::string& out, std::string_view text);

}  // namespace korvex::cli
