#include "cli/card_data.h"

namespace korvex::cli {

namespace {

struct ShownDigits {
  size_t head, tail;
};

ShownDigits ShownOf(size_t length) {
  if (length >= 13) return {6, 4};
  if (length >= 8) return {0, 4};
  return {0, 0};
}

bool SameKey(std::string_view key, std::string_view upper) {
  if (key.size() != upper.size()) return false;
  for (size_t i = 0; i < key.size(); ++i) {
    const char c = key[i] >= 'a' && key[i] <= 'z' ? char(key[i] - 'a' + 'A') : key[i];
    if (c != upper[i]) return false;
  }
  return true;
}

}  // namespace

std::string MaskPan(std::string_view pan) {
  const ShownDigits shown = ShownOf(pan.size());
  std::string masked(pan);
  for (size_t i = shown.head; i + shown.tail < masked.size(); ++i) masked[i] = kMaskChar;
  return masked;
}

std::string MaskTrack2(std::string_view track2) {
  const size_t separator = track2.find('=');
  if (separator == std::string_view::npos) return MaskPan(track2);
  return MaskPan(track2.substr(0, separator)) + '=' +
         std::string(track2.size() - separator - 1, kMaskChar);
}

std::string MaskEventText(int32_t eventType, std::string_view text) {
  return EventTextHidesCardData(eventType) ? MaskTrack2(text) : std::string(text);
}

bool EventTextHidesCardData(int32_t eventType) {
  return eventType == 5;  // a swiped card's track 2
}

std::string MaskTagValue(std::string_view key, std::string_view value) {
  if (SameKey(key, "PAN")) return MaskPan(value);
  if (SameKey(key, "TRACK2")) return MaskTrack2(value);
  return std::string(value);
}

}  // namespace korvex::cli
