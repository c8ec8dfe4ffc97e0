// Card data in the tool's own output. A POS log or console is no place for a
// full card number, so the tool shows a card the way a receipt does unless the
// user asks for the data in clear.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace korvex::cli {

// Shown characters keep their place; every hidden one becomes this.
inline constexpr char kMaskChar = '*';

// A PAN as a receipt shows it, same length: 13 characters or more keep the
// first six and last four; 8 to 12 keep only the last four; anything shorter
// is hidden whole, since no real card number is that short and its last four
// would be most of it.
std::string MaskPan(std::string_view pan);

// Track 2 in its printable form, "PAN=YYMM...": the PAN masked by MaskPan, the
// '=' kept and every character after it (expiry, service code, discretionary
// data) hidden, length kept. A text without '=' is masked whole as a PAN, so a
// malformed track never shows more than a PAN would.
std::string MaskTrack2(std::string_view track2);

// What the control hands over, as the tool shows it when card data is masked.
// The EventType 5 text is a swiped card's track 2; the getTag values of "PAN"
// and "TRACK2" (keys in any case, as the control takes them) are masked, every
// other event text and tag value comes back unchanged.
std::string MaskEventText(int32_t eventType, std::string_view text);
// Whether MaskEventText changes the texts of this event type at all.
bool EventTextHidesCardData(int32_t eventType);
std::string MaskTagValue(std::string_view key, std::string_view value);

}  // namespace korvex::cli
