#include "examples/download/generated_files.h"

#include <cstdio>

namespace korvex::samples {

namespace {

// Sizes as examples/download/README.md documents them.
constexpr size_t kApplicationSize = 300 * 1024;
constexpr size_t kCryptoModuleSize = 40 * 1024;
constexpr size_t kSignatureSize = 1536;
constexpr int kFontGlyphs = 256;
constexpr int kFontRows = 8;
constexpr size_t kFontHeaderSize = 64;

// splitmix64: tiny, fast, and the same sequence on every platform.
class Bytes {
 public:
  explicit Bytes(uint64_t seed) : state_(seed) {}
  char Next() {
    if (left_ == 0) {
      uint64_t z = (state_ += 0x9E3779B97F4A7C15ULL);
      z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
      z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
      word_ = z ^ (z >> 31);
      left_ = 8;
    }
    const char b = static_cast<char>(word_ & 0xFF);
    word_ >>= 8;
    --left_;
    return b;
  }
  // Appends pseudo-random bytes until text is size long.
  void FillTo(std::string& text, size_t size) {
    while (text.size() < size) text += Next();
  }

 private:
  uint64_t state_;
  uint64_t word_ = 0;
  int left_ = 0;
};

std::string Hex16(uint64_t value) {
  char text[17];
  std::snprintf(text, sizeof text, "%016llX", static_cast<unsigned long long>(value));
  return text;
}

// A binary image behind a short text header naming what it stands for.
std::string Image(const std::string& header, const std::string& name, size_t size) {
  std::string bytes = header;
  Bytes(Fnv1a64(name)).FillTo(bytes, size);
  return bytes;
}

// What a detached signature would be in a real installation: a stand-in that
// names the signed file and its digest, padded to a signature's usual size.
std::string Signature(const GeneratedFile& signed_file) {
  std::string bytes = "KORVEX-SIGNATURE-STANDIN\nsigned=" + signed_file.name +
                      "\nsize=" + std::to_string(signed_file.bytes.size()) +
                      "\nfnv1a64=" + Hex16(Fnv1a64(signed_file.bytes)) + "\n";
  Bytes(Fnv1a64(signed_file.bytes)).FillTo(bytes, kSignatureSize);
  return bytes;
}

// A 6x8 font: a text header padded to 64 bytes, one byte per glyph row (the
// low six bits are the pixels), then one width byte per glyph.
std::string Font(const std::string& name, const std::string& covers) {
  std::string bytes = "KORVEX-FONT\nname=" + name + "\ncell=6x8\ncovers=" + covers + "\n";
  bytes.resize(kFontHeaderSize, ' ');
  bytes.back() = '\n';
  Bytes glyphs(Fnv1a64(name));
  for (int g = 0; g < kFontGlyphs; ++g) {
    for (int row = 0; row < kFontRows; ++row) bytes += static_cast<char>(glyphs.Next() & 0x3F);
  }
  for (int g = 0; g < kFontGlyphs; ++g) bytes += static_cast<char>(g < 0x20 ? 0 : 6);
  return bytes;
}

}  // namespace

uint64_t Fnv1a64(const std::string& bytes) {
  uint64_t hash = 0xCBF29CE484222325ULL;
  for (const char c : bytes) {
    hash ^= static_cast<unsigned char>(c);
    hash *= 0x100000001B3ULL;
  }
  return hash;
}

std::vector<GeneratedFile> GeneratedFiles(const std::string& version) {
  const GeneratedFile application{"EMVAPP.out", Image("KORVEX-EMVAPP\nversion=" + version + "\n",
                                                      "EMVAPP.out", kApplicationSize)};
  const GeneratedFile crypto{"3DES.vso", Image("KORVEX-VSO\nname=3DES\nversion=" + version + "\n",
                                               "3DES.vso", kCryptoModuleSize)};
  const GeneratedFile ascii{"asc6x8.vft", Font("asc6x8", "ASCII")};
  const GeneratedFile extended{"ext6x8.vft", Font("ext6x8", "Windows-1257 upper half")};
  return {{"EMVAPP.out.p7s", Signature(application)},
          application,
          crypto,
          {"3DES.vso.P7s", Signature(crypto)},
          ascii,
          {"asc6x8.vft.P7s", Signature(ascii)},
          extended,
          {"ext6x8.vft.P7s", Signature(extended)}};
}

}  // namespace korvex::samples
