// Texts the PIN pad shows the cardholder while waiting for a card: Estonian
// and English on one 32-character display.
#pragma once

namespace korvex {

inline constexpr const char* kInsertCardPrompt = " Sisesta  kaart   Insert  card";
inline constexpr const char* kSwipeCardPrompt = "  T6mba kaart      Swipe card";

}  // namespace korvex
