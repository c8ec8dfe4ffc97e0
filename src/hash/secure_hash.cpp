#include "hash/secure_hash.h"

#include <array>
#include <cstdint>

namespace korvex {

namespace {

uint32_t Rotl(uint32_t x, int n) { return (x << n) | (x >> (32 - n)); }

void ProcessBlock(const unsigned char* block, std::array<uint32_t, 5>& h) {
  uint32_t w[80];
  for (int t = 0; t < 16; ++t) {
    w[t] = (uint32_t{block[4 * t]} << 24) | (uint32_t{block[4 * t + 1]} << 16) |
           (uint32_t{block[4 * t + 2]} << 8) | uint32_t{block[4 * t + 3]};
  }
  for (int t = 16; t < 80; ++t) w[t] = Rotl(w[t - 3] ^ w[t - 8] ^ w[t - 14] ^ w[t - 16], 1);

  uint32_t a = h[0], b = h[1], c = h[2], d = h[3], e = h[4];
  for (int t = 0; t < 80; ++t) {
    uint32_t f, k;
    if (t < 20) {
      f = (b & c) | (~b & d);
      k = 0x5A827999;
    } else if (t < 40) {
      f = b ^ c ^ d;
      k = 0x6ED9EBA1;
    } else if (t < 60) {
      f = (b & c) | (b & d) | (c & d);
      k = 0x8F1BBCDC;
    } else {
      f = b ^ c ^ d;
      k = 0xCA62C1D6;
    }
    const uint32_t temp = Rotl(a, 5) + f + e + w[t] + k;
    e = d;
    d = c;
    c = Rotl(b, 30);
    b = a;
    a = temp;
  }
  h[0] += a;
  h[1] += b;
  h[2] += c;
  h[3] += d;
  h[4] += e;
}

}  // namespace

std::string SHA1Hex(const std::string& Message) {
  std::array<uint32_t, 5> h = {0x67452301, 0xEFCDAB89, 0x98BADCFE, 0x10325476, 0xC3D2E1F0};

  // Padding: 0x80, zeros up to 56 mod 64, then the bit length, big-endian.
  std::string padded = Message;
  padded += static_cast<char>(0x80);
  while (padded.size() % 64 != 56) padded += '\0';
  const uint64_t bits = static_cast<uint64_t>(Message.size()) * 8;
  for (int i = 7; i >= 0; --i) padded += static_cast<char>((bits >> (8 * i)) & 0xFF);

  for (size_t off = 0; off < padded.size(); off += 64) {
    ProcessBlock(reinterpret_cast<const unsigned char*>(padded.data()) + off, h);
  }

  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(40);
  for (uint32_t word : h) {
    for (int shift = 28; shift >= 0; shift -= 4) out += kHex[(word >> shift) & 0xF];
  }
  return out;
}

}  // namespace korvex
