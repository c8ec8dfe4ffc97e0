// What the card data of a C01 reply must satisfy on every payment card, where
// a digit spoilt into another digit still fits the layout: the PAN carries its
// Luhn check digit and is the one inside track 2, the dates are real.
#pragma once

#include <string>
#include <string_view>

namespace korvex {

// The check digit (the last) of the number holds; false for fewer than two
// digits or anything but digits.
bool LuhnHolds(std::string_view digits);

// YYMM (month 01 to 12), or YYMMDD with a day that month can have.
bool IsRealDate(std::string_view date);

// The PAN, track 2 equivalent data and expiry date as the reply carries them
// (hexadecimal, F padding, D as track 2's separator): "" when they agree,
// else what is wrong. The PAN must be there; track 2 and the expiry date may
// be absent.
std::string CardDataFault(std::string_view track2, std::string_view pan, std::string_view expiry);

}  // namespace korvex
