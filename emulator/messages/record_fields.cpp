#include "emulator/messages/record_layout.h"

#include "link/framing.h"

namespace korvex::emu {

std::optional<std::vector<std::string>> SplitFields(const std::string& record) {
  if (record.empty() || record.back() != FS) return std::nullopt;
  std::vector<std::string> fields;
  size_t start = 0;
  for (size_t fs = record.find(FS); fs != std::string::npos; fs = record.find(FS, start)) {
    fields.push_back(record.substr(start, fs - start));
    start = fs + 1;
  }
  return fields;
}

}  // namespace korvex::emu
