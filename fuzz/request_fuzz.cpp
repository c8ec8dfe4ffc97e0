// The emulated PIN pad's reading of the control's requests: the byte stream
// cut into units, and the layouts of the card, table and download requests.
// Any bytes must give a parsed request or a refusal with a status, never a
// crash; units must cover the stream and stay within their bounds.
//
// Input: the first byte picks the reader, the rest is what it reads.
#include <cstddef>
#include <cstdint>
#include <string>
#include <variant>

#include "emulator/core/frame_parser.h"
#include "emulator/messages/card_fields.h"
#include "emulator/messages/file_header.h"
#include "emulator/messages/table_request.h"

namespace {

using namespace korvex::emu;

template <typename T>
void RefusedWithStatus(const std::variant<T, Rejection>& result) {
  if (const auto* r = std::get_if<Rejection>(&result); r && r->status.empty()) __builtin_trap();
}

// Fed in pieces of the sizes the text's own bytes suggest.
void FeedStream(const std::string& text, CheckMode mode) {
  FrameParser parser(mode);
  size_t pos = 0;
  while (pos < text.size()) {
    const size_t piece = 1 + static_cast<uint8_t>(text[pos]) % 97;
    for (const WireUnit& unit : parser.Feed(text.substr(pos, piece))) {
      if (unit.bytes.empty() || unit.bytes.size() > FrameParser::kMaxBlock) __builtin_trap();
    }
    pos += piece;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
  switch (data[0] % 7) {
    case 0: FeedStream(text, CheckMode::Lrc); break;
    case 1: FeedStream(text, CheckMode::Crc); break;
    case 2: RefusedWithStatus(ParseTagList(text)); break;
    case 3: RefusedWithStatus(ParseTagWrites(text)); break;
    case 4: RefusedWithStatus(ParseScriptBlock(text)); break;
    case 5: RefusedWithStatus(ParseTableRequest(text)); break;
    default: {
      const auto header = ParseFileHeader(text);
      if (const auto* problem = std::get_if<std::string>(&header); problem && problem->empty())
        __builtin_trap();
      break;
    }
  }
  return 0;
}
