// The stand-in application files of the sample download folder. They are
// generated rather than checked in because they are large and mostly
// pseudo-random: the payment application image, the crypto module, the two
// display fonts and a signature stand-in for each. The content depends only
// on the project version, so every build writes the same bytes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace korvex::samples {

struct GeneratedFile {
  std::string name;  // as the download folder's Constant/ entry spells it
  std::string bytes;
};

// Every generated file, in the order the download sends them.
std::vector<GeneratedFile> GeneratedFiles(const std::string& version);

// 64-bit FNV-1a of the bytes: the "digest" a signature stand-in records.
uint64_t Fnv1a64(const std::string& bytes);

}  // namespace korvex::samples
