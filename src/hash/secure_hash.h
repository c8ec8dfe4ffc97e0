// SHA-1 over a byte string, for the CA key-set checksum.
#pragma once

#include <string>

namespace korvex {

// 40 upper-case hexadecimal digits: H0..H4, most significant byte first.
std::string SHA1Hex(const std::string& Message);

}  // namespace korvex
