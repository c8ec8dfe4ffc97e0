// The emulated PIN pad's reading of the control's requests: the byte stream
// cut into units, and the layouts of the card, table and download requests.
// Any bytes must give a parsed request or a refusal with a status, never a
// crash; units must cover the stream and stay within their bounds.
//
// Input: the first byte picks the reader, the rest is what it reads.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <variant>
#include <vector>

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

// Fed in pieces of the sizes the input's own bytes suggest. One parser per
// check mode and one list of units serve every input, emptied first: they
// keep their room.
void FeedStream(const char* bytes, size_t size, CheckMode mode) {
  static FrameParser lrc(CheckMode::Lrc);
  static FrameParser crc(CheckMode::Crc);
  static std::vector<WireUnit> units;
  FrameParser& parser = mode == CheckMode::Lrc ? lrc : crc;
  parser.Reset();
  size_t pos = 0;
  while (pos < size) {
    const size_t piece = std::min<size_t>(1 + static_cast<uint8_t>(bytes[pos]) % 97, size - pos);
    units.clear();
    parser.Feed(std::string(bytes + pos, piece), units);
    for (const WireUnit& unit : units) {
      if (unit.bytes.empty() || unit.bytes.size() > FrameParser::kMaxBlock) __builtin_trap();
    }
    pos += piece;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const char* bytes = reinterpret_cast<const char*>(data + 1);
  const size_t n = size - 1;
  const auto text = [&] { return std::string(bytes, n); };
  switch (data[0] % 7) {
    case 0: FeedStream(bytes, n, CheckMode::Lrc); break;
    case 1: FeedStream(bytes, n, CheckMode::Crc); break;
    case 2: RefusedWithStatus(ParseTagList(text())); break;
    case 3: RefusedWithStatus(ParseTagWrites(text())); break;
    case 4: RefusedWithStatus(ParseScriptBlock(text())); break;
    case 5: RefusedWithStatus(ParseTableRequest(text())); break;
    default: {
      const auto header = ParseFileHeader(text());
      if (const auto* problem = std::get_if<std::string>(&header); problem && problem->empty())
        __builtin_trap();
      break;
    }
  }
  return 0;
}
