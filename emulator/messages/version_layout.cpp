// Version record: 18 fields, all empty but field 6 (the table reference) and
// field 13 (the key-set checksum).
#include "emulator/messages/record_layout.h"

namespace korvex::emu {

std::optional<std::string> CheckVersionRecord(const std::vector<std::string>& f) {
  if (f.size() != size_t(kVersionFieldCount)) {
    return "version record has " + std::to_string(f.size()) + " fields, not 18";
  }
  for (size_t i = 0; i < f.size(); ++i) {
    const bool carried = i == 5 || i == 12;  // table reference, key-set checksum
    if (!carried && !f[i].empty()) return "field " + std::to_string(i + 1) + ": must be empty";
  }
  return std::nullopt;
}

}  // namespace korvex::emu
