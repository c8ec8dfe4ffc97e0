// The layouts the control reads out of the PIN pad's replies: tag data (C20)
// under a tag list, and the length-prefixed fields of C00, C01, C02, C83 and
// C84. Whatever the bytes, reading must stop cleanly, and every stored value
// must read back through getTag.
//
// Input: the first byte picks the layout; for tag data the list is either one
// of the control's own (second byte) or the input up to the first '|'.
#include <cstddef>
#include <cstdint>
#include <string>

#include "transaction/trans_data.h"

namespace {

using namespace korvex;

const char* const kLists[] = {kCardDataTags, kFirstCryptogramTags, kTvrTag, kFinalDataTags};
const char* const kKeys[] = {"9F27", "82",       "9F10", "9F26", "9F33", "9F36", "9F37",
                             "AID",  "TRACK2",   "PAN",  "FF51", "EXPD", "9F34", "95",
                             "9B",   "SIGNFLAG", "CSN",  "5F28", "5F34", "5F2D", "AUTHRESP"};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const std::string rest(reinterpret_cast<const char*>(data + 2), size - 2);
  TransData record;
  switch (data[0] % 3) {
    case 0: ParseTagData(record, kLists[data[1] % std::size(kLists)], rest); break;
    case 1: {
      const size_t bar = rest.find('|');
      if (bar == std::string::npos) return 0;
      ParseTagData(record, rest.substr(0, bar), rest.substr(bar + 1));
      break;
    }
    default: ParseResponseData(record, std::string(1, static_cast<char>(data[1])) + rest); break;
  }
  // Every value comes out of the reply: none can be longer.
  for (const char* key : kKeys) {
    if (getTag(record, key).size() > size + 8) __builtin_trap();
  }
  return 0;
}
