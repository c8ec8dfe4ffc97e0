// The fields of the PIN pad's replies, checked before a reply is acknowledged.
//
// The XOR check byte lets a frame through when two of its bytes are spoilt by
// the same change. A reply whose fields cannot have come from the pad (a
// length that is not digits or runs past the data, letters where the pad
// sends hexadecimal or decimal digits, fewer values or more bytes than the
// message holds, card data that contradicts itself) is answered as a frame
// with a bad check byte: NAK, so the pad sends it again.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace korvex {

// What is wrong with the fields of the received frame (STX, text, ETX, check
// bytes), "" when they fit the layout of its message code. Codes without a
// layout and replies reporting a failure (a result other than "00") always
// fit. `state` is the control's state: it tells which tag list a C20 reply
// answers.
std::string ReplyShapeFault(std::string_view frame, int16_t state);

}  // namespace korvex
