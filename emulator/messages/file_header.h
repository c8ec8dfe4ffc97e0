// The loader's file header, fields in this order without separators:
//   type       2   "OC" for an application (a name ending in "out"), else "OD"
//   size       8   bytes, upper-case hex
//   reserved   8   "00000000"
//   date-time 14   YYYYMMDDhhmmss, a real date
//   filler     8   "XXXXXXXX"
//   name     rest  the file's name, without any folder
// The group set-up is a header of the same layout naming no real file.
#pragma once

#include <cstdint>
#include <string>
#include <variant>

namespace korvex::emu {

inline const std::string kGroupSetup = "OD000000000000000019800101000000XXXXXXXXsetgroup.2";

struct FileHeader {
  std::string type;
  uint32_t size = 0;
  std::string timestamp;
  std::string name;
};

// The header, or what is wrong with it.
std::variant<FileHeader, std::string> ParseFileHeader(const std::string& text);

// Whether 14 digits YYYYMMDDhhmmss name a moment that exists.
bool ValidTimestamp(const std::string& digits);

}  // namespace korvex::emu
